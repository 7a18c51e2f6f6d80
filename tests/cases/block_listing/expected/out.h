const int u[] = {
		};
