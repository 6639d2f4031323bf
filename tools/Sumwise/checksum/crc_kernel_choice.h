// How the CRC kernels of classes 2 to 5 choose their path on each call: the carry-less path
// when PCLMULQDQ is enabled, else the table path; in class 5, first the wide kernel for
// buffers from its crossover length on when VPCLMULQDQ is enabled. One read of the
// enabled-feature mask serves every test. The choice is compiled with the class's flags
// alone, in the entry's unit; the carry-less and wide paths it calls live in units compiled
// with PCLMULQDQ (and VPCLMULQDQ). Internal linkage, as in byte_steps.h.
#pragma once
#include "tools/Sumwise/checksum/cpu_features.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {
namespace {

template <CrcKernel Clmul, CrcKernel Tables>
inline uint32_t ClmulOrTables(uint64_t enabledFeatures, const uint8_t* data, size_t length,
                              uint32_t crc)
{
    return (enabledFeatures & kFeaturePclmulqdq) != 0 ? Clmul(data, length, crc)
                                                      : Tables(data, length, crc);
}

// Classes 2 to 4.
template <CrcKernel Clmul, CrcKernel Tables>
inline uint32_t ChooseCrcPath(const uint8_t* data, size_t length, uint32_t crc)
{
    return ClmulOrTables<Clmul, Tables>(EnabledFeatures(), data, length, crc);
}

// Class 5.
template <CrcKernel Wide, size_t Crossover, CrcKernel Clmul, CrcKernel Tables>
inline uint32_t ChooseWideCrcPath(const uint8_t* data, size_t length, uint32_t crc)
{
    const uint64_t enabled = EnabledFeatures();
    return UsesWideCrcKernel(enabled, length, Crossover)
               ? Wide(data, length, crc)
               : ClmulOrTables<Clmul, Tables>(enabled, data, length, crc);
}

} // namespace
} // namespace checksum
