// The pointer-sized word of the one-time initialization record and of the slim reader-writer
// lock, seen as the bits that both keep their state in.
#pragma once
#include <cstdint>

namespace platform {
inline std::uintptr_t Bits(void* value)
{
    return reinterpret_cast<std::uintptr_t>(value);
}

inline void* Word(std::uintptr_t bits)
{
    return reinterpret_cast<void*>(bits);
}
} // namespace platform
