// Byte swap, processor class 4: AVX2 byte shuffle, partly on 256-bit registers.
#include "tools/Sumwise/checksum/byte_swap_wide.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

void ByteSwapAvx2(uint32_t* words, size_t count)
{
    ByteSwapBlocked<19, ShuffleSwapper256>(words, count);
}

} // namespace checksum
