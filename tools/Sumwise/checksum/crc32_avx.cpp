// CRC-32, processor class 3: the folding kernel in AVX encoding (crc32_fold_avx.cpp) when
// PCLMULQDQ is enabled, else slicing by 8.
#include "tools/Sumwise/checksum/crc_kernel_choice.h"

ORVO_DEFINE_CRC_KERNEL(Crc32Avx, ChooseCrcPath<Crc32AvxFold, Crc32Slicing8>)
