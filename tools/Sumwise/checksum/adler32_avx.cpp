// Adler-32, processor class 3: the class 2 kernel in AVX (VEX) encoding; one 16-byte block per pass.
#include "tools/Sumwise/checksum/adler32_blocked.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

uint32_t Adler32Avx(const uint8_t* data, size_t length, uint32_t adler)
{
    return Adler32Blocked(data, length, adler, AdlerRun128);
}

} // namespace checksum
