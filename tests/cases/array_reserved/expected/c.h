const int _Float128[] = {
		0x23456789,
		0x01,
		};
