// Full paths in the long form that the finder hands to the enumeration.
#pragma once
#include "tools/Findle/path_buffer.h"

// Writes the long-path prefix (unless the source already starts with it), the source and, when
// `trailingSeparator` is set and the text does not already end with one, a separator. Each part
// continues where the previous copy ended; the chain stops at the first failure. E_INVALIDARG
// (nothing written) for a missing or empty source; 0x8007007A when the text does not fit, with
// the text cut. `end` and `remaining` (optional) receive the end of the text and the places
// left there as they stand when the steps stop.
HRESULT MakeLongPath(wchar_t* destination, size_t capacity, const wchar_t* source, wchar_t** end, size_t* remaining,
                     bool trailingSeparator);

// The full path of `path` (relative to the current folder) in its long form, in a new buffer
// handed to `fullPath`. E_INVALIDARG for a missing or empty path, E_OUTOFMEMORY when a buffer
// cannot be had, the HRESULT of the last error when the full path cannot be made, 0x8007007A when
// it does not fit with its prefix.
HRESULT ResolveFullPath(const wchar_t* path, PathBuffer& fullPath);
