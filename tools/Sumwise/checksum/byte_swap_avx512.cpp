// Byte swap, processor class 5: the class 4 byte shuffle in AVX-512VL encoding.
#include "tools/Sumwise/checksum/byte_swap_wide.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

void ByteSwapAvx512(uint32_t* words, size_t count)
{
    ByteSwapBlocked<19, ShuffleSwapper256>(words, count);
}

} // namespace checksum
