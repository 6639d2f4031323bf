// The two processor instructions that feature detection needs, and nothing else.
#pragma once
#include <cstdint>

namespace checksum {

struct CpuidRegisters {
    uint32_t eax = 0;
    uint32_t ebx = 0;
    uint32_t ecx = 0;
    uint32_t edx = 0;
};

// CPUID with EAX = leaf and ECX = subleaf.
CpuidRegisters Cpuid(uint32_t leaf, uint32_t subleaf);

// XGETBV with ECX = index: the extended control register that says which register state the
// operating system saves and restores. Faults unless CPUID reports OSXSAVE.
uint64_t Xgetbv(uint32_t index);

} // namespace checksum
