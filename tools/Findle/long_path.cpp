// MakeLongPath and ResolveFullPath.
#include "tools/Findle/long_path.h"

#include <cwchar>

#include "common/buffer_format.h"
#include "common/failure_macros.h"
#include "common/hresults.h"
#include "common/path_names.h"

HRESULT MakeLongPath(wchar_t* destination, size_t capacity, const wchar_t* source, wchar_t** end, size_t* remaining,
                     bool trailingSeparator)
{
    if (source == nullptr || source[0] == L'\0') {
        return E_INVALIDARG;
    }
    wchar_t* position = destination;
    size_t left = capacity;
    const auto append = [&position, &left](const wchar_t* text) { return CopyToBuffer(position, left, text, &position, &left); };
    const wchar_t* const prefix = platform::kLongPathPrefix;
    HRESULT hr = S_OK;
    if (std::wcsncmp(source, prefix, std::wcslen(prefix)) != 0) {
        hr = append(prefix);
    }
    if (SUCCEEDED(hr)) {
        hr = append(source);
    }
    if (SUCCEEDED(hr) && trailingSeparator && (position == destination || position[-1] != platform::kPathSeparator)) {
        hr = append(kSeparatorText);
    }
    if (end != nullptr) {
        *end = position;
    }
    if (remaining != nullptr) {
        *remaining = left;
    }
    return hr;
}

HRESULT ResolveFullPath(const wchar_t* path, PathBuffer& fullPath)
{
    RETURN_HR_IF(E_INVALIDARG, path == nullptr || path[0] == L'\0');
    PathBuffer resolved = AllocatePathBuffer();
    RETURN_IF_NULL_ALLOC(resolved);
    const DWORD length = GetFullPathNameW(path, kPathBufferChars, resolved.get(), nullptr);
    // A failure without a last error must not pass for success, and a result that does not fit
    // comes back as the size it needs, with nothing usable in the buffer.
    RETURN_HR_IF(failure::HResultFromLastError(), length == 0);
    RETURN_HR_IF(kHrInsufficientBuffer, length >= kPathBufferChars);
    PathBuffer longForm = AllocatePathBuffer();
    RETURN_IF_NULL_ALLOC(longForm);
    RETURN_IF_FAILED(MakeLongPath(longForm.get(), kPathBufferChars, resolved.get(), nullptr, nullptr, false));
    fullPath = std::move(longForm);
    return S_OK;
}
