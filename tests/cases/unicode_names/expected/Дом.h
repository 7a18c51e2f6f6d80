const int Zz[] = {
		0x23456789,
		0x01,
		};
