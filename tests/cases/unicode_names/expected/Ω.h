const int _azAZ09[] = {
		0x23456789,
		0x01,
		};
