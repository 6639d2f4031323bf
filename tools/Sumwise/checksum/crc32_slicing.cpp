// CRC-32 table kernel: slicing by 8 (eight 1 KiB tables, one 8-byte load and eight lookups
// per 8 bytes), after byte steps to an 8-byte boundary. Classes 0 and 1 use it, and
// classes 2 to 5 when carry-less multiplication is not enabled.
#include "tools/Sumwise/checksum/byte_steps.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

uint32_t Crc32Slicing8(const uint8_t* data, size_t length, uint32_t crc)
{
    crc = ~crc;
    if (length < 15) {
        return ~Crc32ByteSteps(crc, data, length);
    }
    const size_t head = BytesToAlignment(data, 8);
    crc = Crc32ByteSteps(crc, data, head);
    data += head;
    length -= head;
    for (; length >= 8; length -= 8, data += 8) {
        crc = Crc32OfWord(LoadLe64(data) ^ crc);
    }
    return ~Crc32ByteSteps(crc, data, length);
}

} // namespace checksum
