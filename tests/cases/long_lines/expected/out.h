const int lines[] = {
		0xCDEF0123,
		0xAB,
		};
