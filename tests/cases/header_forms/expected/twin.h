#include "inc/twin.h"
const int ucode[] = {
		0xE1D2C3B4,
		0xF0,
		0x1b2c3d4e,
		0x0a,
		};
