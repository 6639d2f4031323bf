// CRC-32, processor class 3 with PCLMULQDQ: the class 2 folding kernel in AVX (VEX) encoding.
#include "tools/Sumwise/checksum/crc32_fold.h"

ORVO_DEFINE_CRC_KERNEL(Crc32AvxFold, Crc32Fold)
