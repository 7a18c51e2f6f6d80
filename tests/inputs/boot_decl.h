#ifndef MARVOT_DECLARES_ucode
#define MARVOT_DECLARES_ucode
#ifdef __cplusplus
extern "C" {
#endif
extern const int ucode[4];
#ifdef __cplusplus
}
#endif
#endif
