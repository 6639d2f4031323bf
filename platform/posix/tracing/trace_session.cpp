// Provides ParseTraceSession, the reading of a trace session's text, over plain code and strtoull.
#include "platform/posix/tracing/trace_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace platform {

namespace {
bool ParseNumber(std::string_view text, ULONGLONG& value)
{
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(copy.c_str(), &end, 0);
    return !copy.empty() && errno == 0 && *end == '\0';
}
} // namespace

std::optional<TraceSession> ParseTraceSession(const char* text)
{
    if (text == nullptr) {
        return std::nullopt;
    }
    TraceSession session;
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(';'), rest.size());
        const std::string_view item = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (item.empty()) {
            continue;
        }
        const size_t equals = item.find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = item.substr(0, equals);
        const std::string_view value = item.substr(equals + 1);
        ULONGLONG number = 0;
        if (key == "provider") {
            session.provider = value;
        } else if (key == "file") {
            session.file = value;
        } else if (!ParseNumber(value, number)) {
            return std::nullopt;
        } else if (key == "level" && number <= 255) {
            session.level = static_cast<UCHAR>(number);
        } else if (key == "any") {
            session.matchAny = number;
        } else if (key == "all") {
            session.matchAll = number;
        } else {
            return std::nullopt;
        }
    }
    if (session.provider.empty() || session.file.empty()) {
        return std::nullopt;
    }
    return session;
}

} // namespace platform
