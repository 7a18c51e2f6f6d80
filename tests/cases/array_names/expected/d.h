const int Ω[] = {
		0x23456789,
		0x01,
		};
