const int asm[] = {
		0x23456789,
		0x01,
		};
