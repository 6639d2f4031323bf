// CRC-32, processor class 5 with PCLMULQDQ: the class 2 folding kernel in AVX-512 encoding,
// ternary-logic XOR.
#include "tools/Sumwise/checksum/crc32_fold.h"

ORVO_DEFINE_CRC_KERNEL(Crc32Avx512Fold, Crc32Fold)
