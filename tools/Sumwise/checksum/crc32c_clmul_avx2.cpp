// CRC-32C, processor class 4 with PCLMULQDQ: the class 2 carry-less kernel in AVX2 encoding;
// crc32c_avx2.cpp runs it when PCLMULQDQ is enabled.
#include "tools/Sumwise/checksum/crc32c_three_stream_clmul.h"

ORVO_DEFINE_CRC_KERNEL(Crc32cAvx2Clmul, Crc32cThreeStreamClmul)
