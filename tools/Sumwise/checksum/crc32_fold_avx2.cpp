// CRC-32, processor class 4 with PCLMULQDQ: the class 2 folding kernel in AVX2 encoding
// (128-bit registers).
#include "tools/Sumwise/checksum/crc32_fold.h"

ORVO_DEFINE_CRC_KERNEL(Crc32Avx2Fold, Crc32Fold)
