// CRC-32C, processor class 4: the class 2 kernels in AVX2 encoding.
#include "tools/Sumwise/checksum/crc32c_three_stream.h"

ORVO_DEFINE_CRC32C_KERNELS(Avx2, Crc32cThreeStream)
