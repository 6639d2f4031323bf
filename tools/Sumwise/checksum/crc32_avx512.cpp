// CRC-32, processor class 5: long buffers to the 512-bit kernel (crc32_fold_vpclmul.cpp) when
// VPCLMULQDQ is enabled; else the folding kernel in AVX-512 encoding (crc32_fold_avx512.cpp)
// when PCLMULQDQ is, else slicing by 8.
#include "tools/Sumwise/checksum/crc_kernel_choice.h"

ORVO_DEFINE_CRC_KERNEL(Crc32Avx512, ChooseWideCrcPath<Crc32Vpclmul, kWideCrc32Crossover,
                                                      Crc32Avx512Fold, Crc32Slicing8>)
