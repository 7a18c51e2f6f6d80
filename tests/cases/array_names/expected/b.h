const int 1st[] = {
		0x23456789,
		0x01,
		};
