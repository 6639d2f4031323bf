// CRC-32, processor class 2: the folding kernel with SSE4.1 and PCLMULQDQ, else slicing by 8.
#include "tools/Sumwise/checksum/crc32_fold.h"

ORVO_DEFINE_CRC32_KERNELS(Sse42, Crc32FoldOrSlice)
