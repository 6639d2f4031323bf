// CRC-32C, processor class 3: the class 2 kernel in AVX (VEX) encoding; its carry-less
// combination is in crc32c_clmul_avx.cpp.
#include "tools/Sumwise/checksum/crc32c_three_stream_tables.h"
#include "tools/Sumwise/checksum/crc_kernel_choice.h"

ORVO_DEFINE_CRC_KERNEL(Crc32cAvx, ChooseCrcPath<Crc32cAvxClmul, Crc32cThreeStreamTables>)
ORVO_DEFINE_CRC_KERNEL(Crc32cAvxTables, Crc32cThreeStreamTables)
