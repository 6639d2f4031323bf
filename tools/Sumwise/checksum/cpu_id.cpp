// CPUID and XGETBV by GCC inline assembly, which both the Linux and the MinGW-w64 compilers
// accept; XGETBV is spelled as its bytes so that no -mxsave flag is needed.
#include "tools/Sumwise/checksum/cpu_id.h"

namespace checksum {

CpuidRegisters Cpuid(uint32_t leaf, uint32_t subleaf)
{
    CpuidRegisters r;
    __asm__ volatile("cpuid" : "=a"(r.eax), "=b"(r.ebx), "=c"(r.ecx), "=d"(r.edx)
                     : "a"(leaf), "c"(subleaf));
    return r;
}

uint64_t Xgetbv(uint32_t index)
{
    uint32_t low;
    uint32_t high;
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(low), "=d"(high) : "c"(index));
    return (static_cast<uint64_t>(high) << 32) | low;
}

} // namespace checksum
