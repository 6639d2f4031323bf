// CRC-32C, processor class 4: the class 2 kernel in AVX2 encoding; its carry-less combination
// is in crc32c_clmul_avx2.cpp.
#include "tools/Sumwise/checksum/crc32c_three_stream_tables.h"
#include "tools/Sumwise/checksum/crc_kernel_choice.h"

ORVO_DEFINE_CRC_KERNEL(Crc32cAvx2, ChooseCrcPath<Crc32cAvx2Clmul, Crc32cThreeStreamTables>)
ORVO_DEFINE_CRC_KERNEL(Crc32cAvx2Tables, Crc32cThreeStreamTables)
