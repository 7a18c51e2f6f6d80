const int _Thread_local[] = {
		0x23456789,
		0x01,
		};
