// Adler-32, processor class 5: the class 4 kernel in AVX-512VL encoding.
#include "tools/Sumwise/checksum/adler32_double_blocks.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

uint32_t Adler32Avx512(const uint8_t* data, size_t length, uint32_t adler)
{
    return Adler32Blocked(data, length, adler, AdlerRun256);
}

} // namespace checksum
