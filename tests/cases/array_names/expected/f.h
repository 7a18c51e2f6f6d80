const int _9lives[] = {
		0x23456789,
		0x01,
		};
