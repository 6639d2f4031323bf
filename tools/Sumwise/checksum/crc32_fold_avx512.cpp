// CRC-32, processor class 5: the class 2 kernel in AVX-512 encoding, ternary-logic XOR; long
// buffers go to the 512-bit kernel (crc32_fold_vpclmul.cpp) when VPCLMULQDQ is enabled.
#include "tools/Sumwise/checksum/crc32_fold.h"

ORVO_DEFINE_CRC32_KERNELS(Avx512, Crc32WideFoldOrSlice)
