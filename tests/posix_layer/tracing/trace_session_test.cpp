// The POSIX layer's event tracing: which ORVO_TRACE texts describe a session, when the enable
// callback runs, which writes reach the file, activity ids and handle checks. The events are
// built with the telemetry's own field writer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "common/telemetry/event_fields.h"
#include "support/test_support.h"
#include "support/trace_decoder.h"

namespace {

// {01234567-89ab-cdef-0123-456789abcdef}
constexpr GUID kId = {0x01234567, 0x89ab, 0xcdef, {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}};
const char kProviderMetadata[] = {21, 0, 'L', 'a', 'y', 'e', 'r', '.', 'T', 'e', 's', 't', '\0',
                                  7, 0, 1, 'g', 'r', 'o', 'u', 'p'};
static_assert(sizeof kProviderMetadata == 21);

struct Enable {
    int calls = 0;
    ULONG code = 99;
    UCHAR level = 99;
    ULONGLONG any = 0;
    ULONGLONG all = 0;
};

void Callback(LPCGUID, ULONG code, UCHAR level, ULONGLONG any, ULONGLONG all, PEVENT_FILTER_DESCRIPTOR, PVOID context)
{
    auto* enable = static_cast<Enable*>(context);
    ++enable->calls;
    enable->code = code;
    enable->level = level;
    enable->any = any;
    enable->all = all;
}

// Registers with ORVO_TRACE set to `session` (unset when null); `afterRegister` and the final
// state of the enable callback are returned.
struct Registered {
    REGHANDLE handle = 0;
    Enable afterRegister;
    Enable afterTraits;
};

Registered RegisterWith(const char* session)
{
    if (session != nullptr) {
        setenv("ORVO_TRACE", session, 1);
    } else {
        unsetenv("ORVO_TRACE");
    }
    static Enable enable;
    enable = Enable{};
    Registered result;
    EXPECT_EQ(EventRegister(&kId, &Callback, &enable, &result.handle), ERROR_SUCCESS);
    result.afterRegister = enable;
    char metadata[sizeof kProviderMetadata];
    std::memcpy(metadata, kProviderMetadata, sizeof metadata);
    EXPECT_EQ(EventSetInformation(result.handle, EventProviderSetTraits, metadata, sizeof metadata), ERROR_SUCCESS);
    result.afterTraits = enable;
    unsetenv("ORVO_TRACE");
    return result;
}

TEST(TraceSession, TheVariableNamesTheProviderByGuidOrNameWithItsLevelAndMasks)
{
    const struct {
        const char* session;
        int callsAtRegister;
        int callsAtTraits;
        UCHAR level;
        ULONGLONG any;
        ULONGLONG all;
    } cases[] = {
        {nullptr, 0, 0, 99, 0, 0},
        {"provider={01234567-89ab-cdef-0123-456789abcdef};file=/tmp/x", 1, 1, 0, ~0ULL, 0},
        {"provider=01234567-89AB-CDEF-0123-456789ABCDEF;level=3;any=0x10;all=16;file=/tmp/x", 1, 1, 3, 0x10, 0x10},
        {"file=/tmp/x;;provider=layer.TEST;any=0x400000000000", 0, 1, 0, 0x400000000000, 0},
        {"provider=Layer.Other;file=/tmp/x", 0, 0, 99, 0, 0},
        {"provider=Layer.Test", 0, 0, 99, 0, 0},
        {"provider=Layer.Test;file=/tmp/x;colour=blue", 0, 0, 99, 0, 0},
        {"provider=Layer.Test;level=256;file=/tmp/x", 0, 0, 99, 0, 0},
    };
    for (const auto& row : cases) {
        const std::string label = row.session != nullptr ? row.session : "(unset)";
        const Registered registered = RegisterWith(row.session);
        EXPECT_NE(registered.handle, 0u) << label;
        EXPECT_EQ(registered.afterRegister.calls, row.callsAtRegister) << label;
        EXPECT_EQ(registered.afterTraits.calls, row.callsAtTraits) << label;
        if (row.callsAtTraits != 0) {
            EXPECT_EQ(registered.afterTraits.code, EVENT_CONTROL_CODE_ENABLE_PROVIDER) << label;
            EXPECT_EQ(registered.afterTraits.level, row.level) << label;
            EXPECT_EQ(registered.afterTraits.any, row.any) << label;
            EXPECT_EQ(registered.afterTraits.all, row.all) << label;
        }
        EXPECT_EQ(EventUnregister(registered.handle), ERROR_SUCCESS);
    }
}

ULONG WriteEvent(REGHANDLE handle, UCHAR level, ULONGLONG keyword, std::uint32_t value, const GUID* activityId = nullptr,
                 const GUID* relatedId = nullptr)
{
    telemetry::EventFields fields("Probe");
    fields.UInt32("value", value);
    EVENT_DESCRIPTOR descriptor{};
    descriptor.Channel = 11;
    descriptor.Level = level;
    descriptor.Keyword = keyword;
    EVENT_DATA_DESCRIPTOR* descriptors = fields.Descriptors(kProviderMetadata, 13);
    return EventWriteTransfer(handle, &descriptor, activityId, relatedId, fields.DescriptorCount(), descriptors);
}

TEST(TraceSession, WritesThatPassTheSessionAreAppendedOneRecordEach)
{
    testing_support::TempDir dir;
    const auto file = dir.path() / "probe.etl";
    const std::string session = "provider=Layer.Test;level=4;any=0x30;all=0x10;file=" + file.string();
    const Registered registered = RegisterWith(session.c_str());
    const GUID activity = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    const GUID related = {12, 13, 14, {15, 16, 17, 18, 19, 20, 21, 22}};

    EXPECT_EQ(WriteEvent(registered.handle, 4, 0x10, 1, &activity, &related), ERROR_SUCCESS);
    EXPECT_EQ(WriteEvent(registered.handle, 5, 0x10, 2), ERROR_SUCCESS);  // level above the session's
    EXPECT_EQ(WriteEvent(registered.handle, 4, 0x20, 3), ERROR_SUCCESS);  // lacks an all-mask bit
    EXPECT_EQ(WriteEvent(registered.handle, 4, 0x40, 4), ERROR_SUCCESS);  // no any-mask bit
    EXPECT_EQ(WriteEvent(registered.handle, 0, 0x10, 5), ERROR_SUCCESS);  // level 0 always passes
    EXPECT_EQ(WriteEvent(registered.handle, 2, 0, 6), ERROR_SUCCESS);     // keyword 0 always passes
    EXPECT_EQ(WriteEvent(registered.handle, 1, 0x31, 7), ERROR_SUCCESS);

    const auto events = testing_support::ReadTrace(file);
    ASSERT_EQ(events.size(), 4u);
    std::vector<std::uint64_t> values;
    for (const auto& event : events) {
        values.push_back(event.Field("value").number);
        EXPECT_EQ(event.name, "Probe");
        EXPECT_EQ(event.providerName, "Layer.Test");
    }
    EXPECT_EQ(values, (std::vector<std::uint64_t>{1, 5, 6, 7}));
    EXPECT_EQ(events[0].level, 4);
    EXPECT_EQ(events[0].keyword, 0x10u);
    EXPECT_EQ(events[0].channel, 11);
    testing_support::TraceGuid expected;
    std::memcpy(expected.data(), &activity, 16);
    EXPECT_EQ(events[0].activityId, expected);
    std::memcpy(expected.data(), &related, 16);
    EXPECT_EQ(events[0].relatedActivityId, expected);
    EXPECT_TRUE(testing_support::IsZero(events[1].activityId));

    EXPECT_EQ(EventUnregister(registered.handle), ERROR_SUCCESS);
    EXPECT_EQ(WriteEvent(registered.handle, 4, 0x10, 8), ERROR_INVALID_HANDLE);
    EXPECT_EQ(EventUnregister(registered.handle), ERROR_INVALID_HANDLE);
    EXPECT_EQ(testing_support::ReadTrace(file).size(), 4u);
}

TEST(TraceSession, AFileThatCannotBeOpenedFailsTheWriteOnly)
{
    const Registered registered = RegisterWith("provider=Layer.Test;file=/nonexistent-folder/x.etl");
    EXPECT_EQ(registered.afterTraits.calls, 1);
    EXPECT_EQ(WriteEvent(registered.handle, 4, 0x10, 1), ERROR_PATH_NOT_FOUND);
    EventUnregister(registered.handle);
}

TEST(TraceSession, CreatedActivityIdsAreDistinctRandomGuids)
{
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        GUID id{};
        ASSERT_EQ(EventActivityIdControl(EVENT_ACTIVITY_CTRL_CREATE_ID, &id), ERROR_SUCCESS);
        EXPECT_EQ(id.Data3 >> 12, 4);
        EXPECT_EQ(id.Data4[0] >> 6, 2);
        seen.insert(std::string(reinterpret_cast<const char*>(&id), sizeof id));
    }
    EXPECT_EQ(seen.size(), 1000u);
    GUID id{};
    EXPECT_EQ(EventActivityIdControl(1, &id), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(EventActivityIdControl(EVENT_ACTIVITY_CTRL_CREATE_ID, nullptr), ERROR_INVALID_PARAMETER);
}

} // namespace
