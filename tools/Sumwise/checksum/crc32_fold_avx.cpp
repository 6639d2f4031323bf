// CRC-32, processor class 3: the class 2 kernel in AVX (VEX) encoding.
#include "tools/Sumwise/checksum/crc32_fold.h"

ORVO_DEFINE_CRC32_KERNELS(Avx, Crc32FoldOrSlice)
