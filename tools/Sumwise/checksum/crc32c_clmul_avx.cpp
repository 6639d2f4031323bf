// CRC-32C, processor class 3 with PCLMULQDQ: the class 2 carry-less kernel in AVX (VEX) encoding;
// crc32c_avx.cpp runs it when PCLMULQDQ is enabled.
#include "tools/Sumwise/checksum/crc32c_three_stream_clmul.h"

ORVO_DEFINE_CRC_KERNEL(Crc32cAvxClmul, Crc32cThreeStreamClmul)
