const int _[] = {
		0x23456789,
		0x01,
		};
