// CRC-32C, processor class 2 with PCLMULQDQ: the three-stream kernel with its registers
// combined by carry-less multiplication; crc32c_sse42.cpp runs it when PCLMULQDQ is enabled.
#include "tools/Sumwise/checksum/crc32c_three_stream_clmul.h"

ORVO_DEFINE_CRC_KERNEL(Crc32cSse42Clmul, Crc32cThreeStreamClmul)
