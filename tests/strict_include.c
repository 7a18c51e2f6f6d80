/* A C file that uses the opcode array under strict warnings. With the
   declaration that --declare --type uint32_t writes nothing is reported (nor
   in the definition, compiled on its own); the default header's elements of
   0x80000000 and above are conversions to int that -Wconversion reports. */
#ifdef DECLARED
#include "boot_decl.h"
#else
#include "boot.h"
#endif

int main(void) { return (int)(sizeof boot / sizeof boot[0]) - 26; }
