// ReadListLine and ReadCheckList.
#include "tools/Sumwise/check_list.h"

#include <cwctype>

#include "common/failure.h"
#include "common/handle_owners.h"

namespace {

constexpr std::string_view kStatisticsStart = "Hashed ";
constexpr std::string_view kStatisticsMark = " file(s) totaling ";

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The algorithm a digest of `digits` hex digits is, when no switch or tag says.
const Algorithm* AlgorithmOfLength(size_t digits)
{
    switch (digits) {
    case 32:
        return FindAlgorithm(L"md5");
    case 40:
        return FindAlgorithm(L"sha1");
    case 64:
        return FindAlgorithm(L"sha256");
    case 96:
        return FindAlgorithm(L"sha384");
    case 128:
        return FindAlgorithm(L"sha512");
    default:
        return nullptr;
    }
}

// "SHA256", "SHA-256", "MD5": the tag's algorithm, or null.
const Algorithm* AlgorithmOfTag(std::string_view tag)
{
    std::wstring name;
    for (const char c : tag) {
        if (c != '-') {
            name += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
    }
    return name.empty() ? nullptr : FindAlgorithm(name.c_str());
}

std::wstring WidePath(std::string_view bytes)
{
    if (bytes.empty()) {
        return {};
    }
    const int length = static_cast<int>(bytes.size());
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0)), L'\0');
    if (!wide.empty()) {
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, wide.data(), static_cast<int>(wide.size()));
    }
    return wide;
}

// "\\" and "\n" in a path written by a tool that escapes names holding them; false for any other
// escape.
bool Unescape(std::string_view path, std::string& out)
{
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '\\') {
            out += path[i];
            continue;
        }
        if (++i == path.size() || (path[i] != '\\' && path[i] != 'n')) {
            return false;
        }
        out += path[i] == 'n' ? '\n' : '\\';
    }
    return true;
}

ListLine Finish(std::string_view digest, std::string_view path, const Algorithm* algorithm, CheckEntry& entry)
{
    if (algorithm == nullptr || path.empty() || digest.size() != 2 * algorithm->digestBytes) {
        return ListLine::kMalformed;
    }
    entry.expected.clear();
    for (const char c : digest) {
        if (!IsHexDigit(c)) {
            return ListLine::kMalformed;
        }
        entry.expected += static_cast<wchar_t>(towlower(static_cast<wint_t>(c)));
    }
    entry.path = WidePath(path);
    entry.algorithm = algorithm;
    return ListLine::kEntry;
}

// "ALGO (path) = <hex>".
ListLine ReadTaggedLine(std::string_view line, const Algorithm* given, CheckEntry& entry)
{
    const size_t open = line.find(" (");
    const size_t close = line.rfind(") = ");
    if (open == std::string_view::npos || close == std::string_view::npos || close < open + 2) {
        return ListLine::kMalformed;
    }
    const Algorithm* tagged = AlgorithmOfTag(line.substr(0, open));
    if (tagged == nullptr || (given != nullptr && given->selector != tagged->selector)) {
        return ListLine::kMalformed;
    }
    return Finish(line.substr(close + 4), line.substr(open + 2, close - open - 2), tagged, entry);
}

} // namespace

ListLine ReadListLine(std::string_view line, const Algorithm* given, CheckEntry& entry)
{
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (line.empty() || (line.starts_with(kStatisticsStart) && line.find(kStatisticsMark) != std::string_view::npos)) {
        return ListLine::kSkipped;
    }
    const bool escaped = line.front() == '\\';
    if (escaped) {
        line.remove_prefix(1);
    }
    size_t digits = 0;
    while (digits < line.size() && IsHexDigit(line[digits])) {
        ++digits;
    }
    // "<hex>  <path>" or "<hex> *<path>"; anything else may be the tagged form.
    if (digits == 0 || line.size() < digits + 3 || line[digits] != ' ' ||
        (line[digits + 1] != ' ' && line[digits + 1] != '*')) {
        return escaped ? ListLine::kMalformed : ReadTaggedLine(line, given, entry);
    }
    const std::string_view path = line.substr(digits + 2);
    const Algorithm* algorithm = given != nullptr ? given : AlgorithmOfLength(digits);
    if (!escaped) {
        return Finish(line.substr(0, digits), path, algorithm, entry);
    }
    std::string unescaped;
    if (!Unescape(path, unescaped)) {
        return ListLine::kMalformed;
    }
    return Finish(line.substr(0, digits), unescaped, algorithm, entry);
}

HRESULT ReadCheckList(const wchar_t* listPath, const Algorithm* given, std::vector<CheckEntry>& entries)
{
    const OwnedHandle file(CreateFileW(
        listPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        return failure::HResultFromLastError();
    }
    std::string text;
    char block[64 * 1024];
    DWORD read = 0;
    do {
        if (!ReadFile(file.get(), block, sizeof block, &read, nullptr)) {
            return failure::HResultFromLastError();
        }
        text.append(block, read);
    } while (read != 0);

    unsigned long number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        ++number;
        CheckEntry entry{};
        const ListLine kind = ReadListLine(std::string_view(text).substr(start, end - start), given, entry);
        if (kind == ListLine::kEntry) {
            entries.push_back(std::move(entry));
        } else if (kind == ListLine::kMalformed) {
            wprintf(L"%ls: line %lu is not a digest line\n", listPath, number);
        }
        start = end + 1;
    }
    return S_OK;
}
