const int a[] = {
		};
