// CRC-32C, processor class 5 with PCLMULQDQ: the class 2 carry-less kernel in AVX-512 encoding;
// crc32c_avx512.cpp runs it when PCLMULQDQ is enabled.
#include "tools/Sumwise/checksum/crc32c_three_stream_clmul.h"

ORVO_DEFINE_CRC_KERNEL(Crc32cAvx512Clmul, Crc32cThreeStreamClmul)
