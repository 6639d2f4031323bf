// Byte swap, processor class 3: the class 1 byte shuffle in AVX (VEX) encoding.
#include "tools/Sumwise/checksum/byte_swap_blocks.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

void ByteSwapAvx(uint32_t* words, size_t count)
{
    ByteSwapBlocked<19, ShuffleSwapper128>(words, count);
}

} // namespace checksum
