#ifndef MARVOT_DECLARES_ucode
#define MARVOT_DECLARES_ucode
#include <stdint.h>
#ifdef __cplusplus
extern "C" {
#endif
extern const int32_t ucode[4];
#ifdef __cplusplus
}
#endif
#endif
