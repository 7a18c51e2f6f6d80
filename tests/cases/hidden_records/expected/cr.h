const int u[] = {
		0x23456789,
		0x01,
		};
