const int _Zed[] = {
		0x23456789,
		0x01,
		};
