// CRC-32C, processor class 3: the class 2 kernels in AVX (VEX) encoding.
#include "tools/Sumwise/checksum/crc32c_three_stream.h"

ORVO_DEFINE_CRC32C_KERNELS(Avx, Crc32cThreeStream)
