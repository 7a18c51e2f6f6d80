const int _AZaz09[] = {
		0x23456789,
		0x01,
		};
