// CRC-32C, processor class 5: the class 2 kernel in AVX-512 encoding, its carry-less
// combination in crc32c_clmul_avx512.cpp; long buffers go to the 512-bit kernel
// (crc32c_fold_vpclmul.cpp) when VPCLMULQDQ is enabled.
#include "tools/Sumwise/checksum/crc32c_three_stream_tables.h"
#include "tools/Sumwise/checksum/crc_kernel_choice.h"

ORVO_DEFINE_CRC_KERNEL(Crc32cAvx512, ChooseWideCrcPath<Crc32cVpclmul, kWideCrc32cCrossover,
                                                       Crc32cAvx512Clmul, Crc32cThreeStreamTables>)
ORVO_DEFINE_CRC_KERNEL(Crc32cAvx512Tables, Crc32cThreeStreamTables)
