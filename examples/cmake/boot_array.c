/* The one C file that includes boot.h, for the C++ program: it defines the
   array, and its size, which C++ cannot take from an array it only declares. */
#include <stddef.h>

#include "boot.h"

const size_t boot_elements = sizeof boot / sizeof boot[0];
