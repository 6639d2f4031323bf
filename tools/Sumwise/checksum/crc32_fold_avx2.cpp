// CRC-32, processor class 4: the class 2 kernel in AVX2 encoding (128-bit registers).
#include "tools/Sumwise/checksum/crc32_fold.h"

ORVO_DEFINE_CRC32_KERNELS(Avx2, Crc32FoldOrSlice)
