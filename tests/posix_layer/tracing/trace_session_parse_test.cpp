// The text of a trace session (the ORVO_TRACE variable): what each setting gives, and every text
// that describes no session.
#include "platform/posix/tracing/trace_session.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(TraceSessionText, SettingsAndTheirDefaults)
{
    const struct {
        const char* text;
        platform::TraceSession expected;
    } rows[] = {
        {"provider=Brel.Orvo.Utilities.Purgent;level=5;any=0x400000000000;all=0;file=/tmp/purgent.etl",
         {"Brel.Orvo.Utilities.Purgent", 5, 0x400000000000ULL, 0, "/tmp/purgent.etl"}},
        {"provider=P;file=f", {"P", 0, ~0ULL, 0, "f"}},
        {";;file=f;;provider={6b0e3c52-91d4-4f7a-a8e5-3d2c7f41b9a0};",
         {"{6b0e3c52-91d4-4f7a-a8e5-3d2c7f41b9a0}", 0, ~0ULL, 0, "f"}},
        {"provider=A;provider=B;file=f;level=1;level=255", {"B", 255, ~0ULL, 0, "f"}},
        {"provider=P;file=/tmp/a=b;any=255;all=0XF0", {"P", 0, 255, 0xF0, "/tmp/a=b"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::optional<platform::TraceSession> session = platform::ParseTraceSession(row.text);
        ASSERT_TRUE(session.has_value());
        EXPECT_EQ(row.expected.provider, session->provider);
        EXPECT_EQ(row.expected.level, session->level);
        EXPECT_EQ(row.expected.matchAny, session->matchAny);
        EXPECT_EQ(row.expected.matchAll, session->matchAll);
        EXPECT_EQ(row.expected.file, session->file);
    }
}

TEST(TraceSessionText, TextsThatDescribeNoSession)
{
    const char* const rows[] = {
        nullptr,
        "",
        ";",
        "file=f",                           // no provider
        "provider=P",                       // no file
        "provider=;file=f",                 // an empty provider
        "provider=P;file=f;junk",           // an item without '='
        "provider=P;file=f;depth=1",        // an unknown key
        "Provider=P;file=f",                // keys are lower case
        "provider=P;file=f;level=256",      // above the highest level
        "provider=P;file=f;level=five",
        "provider=P;file=f;level=5x",
        "provider=P;file=f;any=",
        "provider=P;file=f;any=0x",
        "provider=P;file=f;all=0x1FFFFFFFFFFFFFFFF", // beyond 64 bits
    };
    for (const char* text : rows) {
        EXPECT_FALSE(platform::ParseTraceSession(text).has_value()) << (text != nullptr ? text : "(null)");
    }
}

} // namespace
