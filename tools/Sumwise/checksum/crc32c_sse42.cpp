// CRC-32C, processor class 2: the three-stream kernel with SSE4.2, its registers combined by
// carry-less multiplication (crc32c_clmul_sse42.cpp) when PCLMULQDQ is enabled, else by tables.
#include "tools/Sumwise/checksum/crc32c_three_stream_tables.h"
#include "tools/Sumwise/checksum/crc_kernel_choice.h"

ORVO_DEFINE_CRC_KERNEL(Crc32cSse42, ChooseCrcPath<Crc32cSse42Clmul, Crc32cThreeStreamTables>)
ORVO_DEFINE_CRC_KERNEL(Crc32cSse42Tables, Crc32cThreeStreamTables)
