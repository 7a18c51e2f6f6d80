const int boot[] = {
		0x23456789,
		0x01,
		};
