// CRC-32, processor class 2: the folding kernel (crc32_fold_sse42.cpp) when PCLMULQDQ is
// enabled, else slicing by 8.
#include "tools/Sumwise/checksum/crc_kernel_choice.h"

ORVO_DEFINE_CRC_KERNEL(Crc32Sse42, ChooseCrcPath<Crc32Sse42Fold, Crc32Slicing8>)
