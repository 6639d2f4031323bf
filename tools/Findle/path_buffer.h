// The finder's path buffers: kPathBufferChars (32,768) wide characters from the process heap,
// given back when their owner goes out of scope.
#pragma once
#include "platform/platform.h"

#include <memory>

#include "common/path_names.h"

struct ProcessHeapDeleter {
    void operator()(void* block) const { HeapFree(GetProcessHeap(), 0, block); }
};
using PathBuffer = std::unique_ptr<wchar_t[], ProcessHeapDeleter>;

// A new path buffer, or an empty one when memory is short.
inline PathBuffer AllocatePathBuffer()
{
    return PathBuffer(static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, kPathBufferChars * sizeof(wchar_t))));
}
