const int c[] = {
		0x23456789,
		0x01,
		};
