const int a[] = {
		0x11223344,
		0x00,
		};
