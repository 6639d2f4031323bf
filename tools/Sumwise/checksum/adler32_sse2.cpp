// Adler-32, processor classes 0 and 1: one 16-byte block per pass with SSE2, bytes widened
// by unpacking with zero.
#include "tools/Sumwise/checksum/adler32_blocked.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

uint32_t Adler32Sse2(const uint8_t* data, size_t length, uint32_t adler)
{
    return Adler32Blocked(data, length, adler, AdlerRun128);
}

} // namespace checksum
