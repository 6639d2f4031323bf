// Internal to the layer: the trace session that the ORVO_TRACE variable describes, and the pure
// parser of its text (the README's telemetry section gives the grammar).
#pragma once
#include "platform/posix/system/win32_types.h"

#include <optional>
#include <string>

namespace platform {

// Which provider a session enables, for which events, and the file its events go to.
struct TraceSession {
    std::string provider; // a name, or a GUID in its text form
    UCHAR level = 0;
    ULONGLONG matchAny = ~0ULL;
    ULONGLONG matchAll = 0;
    std::string file;
};

// "key=value;key=value..." with the keys provider, level (0 to 255), any, all (numbers as strtoull
// reads them with base 0) and file; empty items are skipped, a later key replaces an earlier one.
// A null text, or one that names no provider or no file, or holds an item without '=', an unknown
// key or a bad number, describes no session.
std::optional<TraceSession> ParseTraceSession(const char* text);

} // namespace platform
