const int __attribute__[] = {
		0x23456789,
		0x01,
		};
