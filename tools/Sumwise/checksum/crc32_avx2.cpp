// CRC-32, processor class 4: the folding kernel in AVX2 encoding (crc32_fold_avx2.cpp) when
// PCLMULQDQ is enabled, else slicing by 8.
#include "tools/Sumwise/checksum/crc_kernel_choice.h"

ORVO_DEFINE_CRC_KERNEL(Crc32Avx2, ChooseCrcPath<Crc32Avx2Fold, Crc32Slicing8>)
