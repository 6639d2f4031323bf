// CRC-32C, processor class 5: the class 2 kernels in AVX-512 encoding; long buffers go to the
// 512-bit kernel (crc32c_fold_vpclmul.cpp) when VPCLMULQDQ is enabled.
#include "tools/Sumwise/checksum/crc32c_three_stream.h"

ORVO_DEFINE_CRC32C_KERNELS(Avx512, Crc32cWideOrThreeStream)
