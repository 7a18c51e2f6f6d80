const int empty[] = {
		};
