const int ucode[] = {
		0x02030405,
		0x01,
		};
