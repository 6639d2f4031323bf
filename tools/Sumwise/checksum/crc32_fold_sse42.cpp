// CRC-32, processor class 2 with PCLMULQDQ: the folding kernel with SSE4.1.
#include "tools/Sumwise/checksum/crc32_fold.h"

ORVO_DEFINE_CRC_KERNEL(Crc32Sse42Fold, Crc32Fold)
