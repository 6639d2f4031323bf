// Byte swap, processor classes 1 and 2: one SSSE3 byte shuffle per 16-byte block.
#include "tools/Sumwise/checksum/byte_swap_blocks.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

void ByteSwapSsse3(uint32_t* words, size_t count)
{
    ByteSwapBlocked<19, ShuffleSwapper128>(words, count);
}

} // namespace checksum
