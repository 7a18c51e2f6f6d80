const int not an-identifier![] = {
		0x23456789,
		0x01,
		};
