const int [] = {
		0x23456789,
		0x01,
		};
