const int long[] = {
		0xCDEF0123,
		0xAB,
		};
