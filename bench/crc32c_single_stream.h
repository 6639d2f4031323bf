// A plain single-register CRC32-instruction loop (raw CRC-32C register, no inversion).
#pragma once
#include <cstddef>
#include <cstdint>

uint32_t Crc32cSingleStream(const uint8_t* data, size_t length, uint32_t crc);
