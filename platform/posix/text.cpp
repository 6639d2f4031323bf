// Wide strings to and from bytes; console printing.
#include "platform/platform.h"

namespace platform {
std::wstring WideFromBytes(const char* bytes, size_t length)
{
    std::wstring wide;
    for (size_t i = 0; i < length; ++i) {
        wide.push_back(static_cast<unsigned char>(bytes[i]));
    }
    return wide;
}
} // namespace platform
