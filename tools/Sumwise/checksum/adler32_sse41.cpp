// Adler-32, processor class 2: SSE4.1, bytes widened by zero extension; one 16-byte block per pass.
#include "tools/Sumwise/checksum/adler32_blocked.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

uint32_t Adler32Sse41(const uint8_t* data, size_t length, uint32_t adler)
{
    return Adler32Blocked(data, length, adler, AdlerRun128);
}

} // namespace checksum
