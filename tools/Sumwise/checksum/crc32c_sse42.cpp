// CRC-32C, processor class 2: the three-stream kernel with SSE4.2 and PCLMULQDQ.
#include "tools/Sumwise/checksum/crc32c_three_stream.h"

ORVO_DEFINE_CRC32C_KERNELS(Sse42, Crc32cThreeStream)
