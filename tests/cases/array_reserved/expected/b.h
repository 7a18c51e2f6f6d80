const int __int128[] = {
		0x23456789,
		0x01,
		};
