// CRC-32C table kernel of processor classes 0 and 1: slicing by 4 (four 1 KiB tables,
// one lookup per byte), after byte steps to a 4-byte boundary.
#include "tools/Sumwise/checksum/byte_steps.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {
namespace {

// XORs 4 little-endian bytes into the register and advances it over them.
inline uint32_t FourByteStep(uint32_t crc, const uint8_t* p)
{
    const auto& t = kCrc32cTables.slicing;
    const uint32_t r = crc ^ LoadLe32(p);
    return t[3][r & 0xFFu] ^ t[2][(r >> 8) & 0xFFu] ^ t[1][(r >> 16) & 0xFFu] ^ t[0][r >> 24];
}

} // namespace

uint32_t Crc32cSlicing4(const uint8_t* data, size_t length, uint32_t crc)
{
    if (length < 11) {
        return Crc32cByteSteps(crc, data, length);
    }
    const size_t head = BytesToAlignment(data, 4);
    crc = Crc32cByteSteps(crc, data, head);
    data += head;
    length -= head;
    for (; length >= 8; length -= 8, data += 8) {
        crc = FourByteStep(crc, data);
        crc = FourByteStep(crc, data + 4);
    }
    if (length >= 4) {
        crc = FourByteStep(crc, data);
        data += 4;
        length -= 4;
    }
    return Crc32cByteSteps(crc, data, length);
}

} // namespace checksum
