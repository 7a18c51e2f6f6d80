const int _one[] = {
		0x23456789,
		0x01,
		};
