const int my-ucode[] = {
		0x23456789,
		0x01,
		};
