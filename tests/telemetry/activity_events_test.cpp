// The activity's events as a session receives them (POSIX build: the layer's trace session,
// read back by the decoder): descriptors, field names, in-types, struct counts and values.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "common/failure_macros.h"
#include "common/hresults.h"
#include "common/telemetry/provider_ids.h"
#include "trace_session.h"

namespace {

using telemetry_test::kKeyword;
using telemetry_test::TestProvider;
using telemetry_test::TraceSession;
using testing_support::TraceEvent;

constexpr ULONGLONG kFirstReportKeyword = 0x600000000000;
constexpr std::uint8_t kUInt32 = 8;
constexpr std::uint8_t kUInt64 = 10;
constexpr std::uint8_t kAnsi = 2;
constexpr std::uint8_t kUnicode = 1;
constexpr std::uint8_t kStruct = 24;

testing_support::TraceGuid Bytes(const GUID& id)
{
    testing_support::TraceGuid bytes;
    std::memcpy(bytes.data(), &id, sizeof id);
    return bytes;
}

void ExpectDescriptor(const TraceEvent& event, int level, int opcode, ULONGLONG keyword)
{
    EXPECT_EQ(event.id, 0);
    EXPECT_EQ(event.version, 0);
    EXPECT_EQ(event.channel, 11);
    EXPECT_EQ(event.task, 0);
    EXPECT_EQ(event.level, level) << event.name;
    EXPECT_EQ(event.opcode, opcode) << event.name;
    EXPECT_EQ(event.keyword, keyword) << event.name;
    EXPECT_EQ(event.tags, 0);
}

std::vector<std::string> Names(const std::vector<TraceEvent>& events)
{
    std::vector<std::string> names;
    for (const TraceEvent& event : events) {
        names.push_back(event.name);
    }
    return names;
}

const std::vector<std::string> kFailureFields = {
    "hresult",          "fileName",           "lineNumber",          "module",
    "failureType",      "message",            "threadId",            "callContext",
    "originatingContextId", "originatingContextName", "originatingContextMessage", "currentContextId",
    "currentContextName", "currentContextMessage"};

std::vector<std::string> Concat(std::vector<std::string> head, const std::vector<std::string>& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(ActivityEvents, StartAndStopCarryTheDescriptorsFieldsAndActivityId)
{
    const TraceSession session("Orvo.Test.A");
    GUID id{};
    {
        TestProvider<'A'>::TestRun run;
        run.Start();
        id = run.Id();
        run.Stop(kHrPathNotFound);
    }
    const auto events = session.Events();
    ASSERT_EQ(Names(events), (std::vector<std::string>{"TestRun", "TestRun"}));
    for (const TraceEvent& event : events) {
        EXPECT_EQ(event.providerName, "Orvo.Test.A");
        EXPECT_EQ(event.traitType, 1);
        EXPECT_EQ(event.providerGroup, Bytes(telemetry::kTelemetryGroupId));
        EXPECT_EQ(event.activityId, Bytes(id));
        EXPECT_TRUE(testing_support::IsZero(event.relatedActivityId));
    }
    EXPECT_FALSE(testing_support::IsZero(Bytes(id)));

    const TraceEvent& start = events[0];
    ExpectDescriptor(start, 5, 1, kKeyword);
    EXPECT_EQ(start.descriptorTypes, (std::vector<std::uint32_t>{2, 1, 0, 0}));
    EXPECT_EQ(start.FieldNames(), (std::vector<std::string>{"PartA_PrivTags", "wilActivity", "threadId"}));
    EXPECT_EQ(start.Field("PartA_PrivTags").inType, kUInt64);
    EXPECT_EQ(start.Field("PartA_PrivTags").number, 0x3000000u);
    EXPECT_EQ(start.Field("wilActivity").inType, kStruct);
    EXPECT_EQ(start.Field("wilActivity").structFields, 1);
    EXPECT_EQ(start.Field("threadId").inType, kUInt32);
    EXPECT_EQ(start.Field("threadId").number, GetCurrentThreadId());

    const TraceEvent& stop = events[1];
    ExpectDescriptor(stop, 5, 2, kKeyword);
    EXPECT_EQ(stop.FieldNames(), (std::vector<std::string>{"PartA_PrivTags", "wilActivity", "hresult", "threadId"}));
    EXPECT_EQ(stop.Field("wilActivity").structFields, 2);
    EXPECT_EQ(stop.Field("hresult").inType, kUInt32);
    EXPECT_EQ(stop.Field("hresult").number, 0x80070003u);
    EXPECT_EQ(stop.Field("threadId").number, GetCurrentThreadId());
}

TEST(ActivityEvents, WithoutASessionForTheProviderNothingIsWrittenAndNoIdIsCreated)
{
    const TraceSession session("Orvo.Test.Other");
    TestProvider<'B'>::TestRun run;
    run.Start();
    EXPECT_TRUE(testing_support::IsZero(Bytes(run.Id())));
    LOG_HR(E_FAIL);
    run.Stop(E_FAIL);
    EXPECT_FALSE(std::filesystem::exists(session.File()));

    unsetenv("ORVO_TRACE");
    TestProvider<'C'>::TestRun unwatched;
    unwatched.Start();
    EXPECT_TRUE(testing_support::IsZero(Bytes(unwatched.Id())));
    EXPECT_FALSE(TestProvider<'C'>::Instance().IsEnabled(1, ~0ULL));
}

TEST(ActivityEvents, DestructionWithoutAStopStopsWithUnhandledExceptionAndSaysSo)
{
    const TraceSession session("Orvo.Test.D");
    GUID id{};
    {
        TestProvider<'D'>::TestRun run;
        run.Start();
        id = run.Id();
    }
    const auto events = session.Events();
    ASSERT_EQ(Names(events), (std::vector<std::string>{"TestRun", "TestRun", "ActivityStoppedAutomatically"}));
    EXPECT_EQ(events[1].Field("hresult").number, 0x8007023Eu);
    ExpectDescriptor(events[2], 5, 2, kKeyword);
    EXPECT_TRUE(events[2].fields.empty());
    EXPECT_EQ(events[2].activityId, Bytes(id));
}

TEST(ActivityEvents, TheSameFailureTwiceGivesAFirstAndARepeatedReport)
{
    const TraceSession session("Orvo.Test.E");
    TestProvider<'E'>::TestRun run;
    run.Start();
    failure::FailureInfo info;
    info.kind = failure::FailureKind::ReturnHr;
    info.hr = E_ACCESSDENIED;
    info.file = "walk.cpp";
    info.line = 42;
    info.module = "purgent";
    info.function = "Walk";
    info.message = L"WorkPath=\"/t\u00e9\"";
    info.threadId = 77;
    info.failureId = 0x5A5A0001;
    info.failureCount = 9;
    const failure::ThreadObserver observer = failure::SetThreadFailureObserver({});
    ASSERT_NE(observer.notify, nullptr);
    observer.notify(observer.context, info);
    observer.notify(observer.context, info);
    failure::SetThreadFailureObserver(observer);
    run.Stop(S_OK);

    const auto events = session.Events();
    ASSERT_EQ(Names(events), (std::vector<std::string>{"TestRun", "ActivityError", "ActivityError", "TestRun"}));
    const TraceEvent& first = events[1];
    const TraceEvent& repeated = events[2];
    ExpectDescriptor(first, 2, 0, kFirstReportKeyword);
    ExpectDescriptor(repeated, 2, 0, kKeyword);
    EXPECT_EQ(first.FieldNames(), Concat({"PartA_PrivTags", "wilActivity"}, kFailureFields));
    EXPECT_EQ(first.Field("wilActivity").structFields, 14);
    EXPECT_EQ(repeated.FieldNames(),
              Concat(Concat({"PartA_PrivTags", "wilActivity"}, kFailureFields), {"failureId", "failureCount", "function"}));
    EXPECT_EQ(repeated.Field("wilActivity").structFields, 17);

    for (const TraceEvent* event : {&first, &repeated}) {
        EXPECT_EQ(event->Field("PartA_PrivTags").number, 0x1000000u);
        EXPECT_EQ(event->Field("hresult").number, 0x80070005u);
        EXPECT_EQ(event->Field("fileName").inType, kAnsi);
        EXPECT_EQ(event->Field("fileName").text, "walk.cpp");
        EXPECT_EQ(event->Field("lineNumber").number, 42u);
        EXPECT_EQ(event->Field("module").text, "purgent");
        EXPECT_EQ(event->Field("failureType").number, 1u);
        EXPECT_EQ(event->Field("message").inType, kUnicode);
        EXPECT_EQ(event->Field("message").text, "WorkPath=\"/t\xC3\xA9\"");
        EXPECT_EQ(event->Field("threadId").number, 77u);
        EXPECT_EQ(event->Field("callContext").text, "");
        EXPECT_EQ(event->Field("originatingContextMessage").inType, kUnicode);
        EXPECT_EQ(event->Field("currentContextName").inType, kAnsi);
    }
    EXPECT_EQ(repeated.Field("failureId").number, 0x5A5A0001u);
    EXPECT_EQ(repeated.Field("failureCount").number, 9u);
    EXPECT_EQ(repeated.Field("function").text, "Walk");
    // The run itself succeeded: the kept failure does not ride on the stop.
    EXPECT_EQ(events[3].Field("hresult").number, 0u);
}

TEST(ActivityEvents, AStopWithTheKeptFailuresResultCarriesItsFields)
{
    const TraceSession session("Orvo.Test.F");
    TestProvider<'F'>::TestRun run;
    run.Start();
    const unsigned int line = __LINE__ + 1;
    LOG_HR(E_ACCESSDENIED);
    failure::FailureInfo quiet;
    quiet.hr = E_INVALIDARG;
    quiet.suppressTelemetry = true;
    failure::Report(quiet); // neither written nor kept
    run.Stop(E_ACCESSDENIED);

    const auto events = session.Events();
    ASSERT_EQ(Names(events), (std::vector<std::string>{"TestRun", "ActivityError", "TestRun"}));
    const TraceEvent& stop = events[2];
    ExpectDescriptor(stop, 5, 2, kKeyword);
    EXPECT_EQ(stop.FieldNames(), Concat({"PartA_PrivTags", "PartA_PrivTags", "wilActivity"}, kFailureFields));
    EXPECT_EQ(stop.Field("PartA_PrivTags", 0).number, 0x3000000u);
    EXPECT_EQ(stop.Field("PartA_PrivTags", 1).number, 0x1000000u);
    EXPECT_EQ(stop.Field("wilActivity").structFields, 14);
    EXPECT_EQ(stop.Field("hresult").number, 0x80070005u);
    EXPECT_EQ(stop.Field("fileName").text, __FILE__);
    EXPECT_EQ(stop.Field("lineNumber").number, line);
    EXPECT_EQ(stop.Field("failureType").number, static_cast<std::uint32_t>(failure::FailureKind::LogHr));
    EXPECT_EQ(stop.Field("threadId").number, GetCurrentThreadId());
}

TEST(ActivityEvents, ACopyStopsWithAnIntermediateStopAndAFailingResultIsNeverReplaced)
{
    const TraceSession session("Orvo.Test.H");
    TestProvider<'H'>::TestRun run;
    run.Start();
    {
        TestProvider<'H'>::TestRun copy(run);
        copy.Stop(E_FAIL);
    }
    run.Stop(S_OK);
    const auto events = session.Events();
    ASSERT_EQ(Names(events), (std::vector<std::string>{"TestRun", "ActivityIntermediateStop", "TestRun"}));
    const TraceEvent& intermediate = events[1];
    ExpectDescriptor(intermediate, 5, 0, kKeyword);
    EXPECT_EQ(intermediate.FieldNames(),
              (std::vector<std::string>{"PartA_PrivTags", "wilActivity", "hresult", "threadId"}));
    EXPECT_EQ(intermediate.Field("PartA_PrivTags").number, 0x1000000u);
    EXPECT_EQ(intermediate.Field("hresult").number, 0x80004005u);
    EXPECT_EQ(events[2].Field("hresult").number, 0x80004005u);
}

std::vector<HRESULT> g_reported;
void Record(const failure::FailureInfo& info)
{
    g_reported.push_back(info.hr);
}

TEST(ActivityEvents, AStopOnAnotherThreadIsReportedAndTheStartingThreadIsNoLongerWatched)
{
    const TraceSession session("Orvo.Test.I");
    {
        TestProvider<'I'>::TestRun run;
        run.Start();
        g_reported.clear();
        const failure::FailureCallback previous = failure::SetFailureCallback(&Record);
        TestProvider<'I'>::TestRun neverStarted;
        std::thread([&] {
            neverStarted.Stop(S_OK); // no thread was watched: nothing to report
            run.Stop(S_OK);
        }).join();
        failure::SetFailureCallback(previous);
        EXPECT_EQ(g_reported, (std::vector<HRESULT>{kHrAssertionFailure}));
        LOG_HR(E_FAIL);
    }
    // The starting thread's observer outlives the activity; a report now must not reach it.
    LOG_HR(E_FAIL);
    failure::SetThreadFailureObserver({});
    const auto events = session.Events();
    // The start, the never-started activity's stop (without an id), the stop from the other thread.
    ASSERT_EQ(Names(events), (std::vector<std::string>{"TestRun", "TestRun", "TestRun"}));
    EXPECT_TRUE(testing_support::IsZero(events[1].activityId));
    EXPECT_EQ(events[2].activityId, events[0].activityId);
    EXPECT_NE(events[2].Field("threadId").number, GetCurrentThreadId());
}

TEST(ActivityEventsDeathTest, AStopWithNoReferenceLeftEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            TestProvider<'J'>::TestRun run;
            run.Start();
            run.Stop(S_OK);
            run.Stop(S_OK);
        },
        "");
}

// A start, one failure and a stop under sessions whose level or keyword masks hold some back.
template <char Letter>
std::vector<std::string> RunScenario(const std::string& settings)
{
    const TraceSession session(TestProvider<Letter>::kName, settings);
    typename TestProvider<Letter>::TestRun run;
    run.Start();
    LOG_HR(E_FAIL);
    run.Stop(S_OK);
    return Names(session.Events());
}

TEST(ActivityEvents, LevelsAndKeywordMasksHoldEventsBack)
{
    const std::vector<std::string> all = {"TestRun", "ActivityError", "TestRun"};
    const std::vector<std::string> errorOnly = {"ActivityError"};
    const struct {
        const char* settings;
        std::vector<std::string> expected;
        std::vector<std::string> (*run)(const std::string&);
    } cases[] = {
        {"", all, &RunScenario<'K'>},
        {";level=5", all, &RunScenario<'L'>},
        {";level=4", errorOnly, &RunScenario<'M'>},
        {";level=1", {}, &RunScenario<'N'>},
        {";any=0x200000000000", errorOnly, &RunScenario<'O'>},
        {";any=0x1", {}, &RunScenario<'P'>},
        {";all=0x600000000000", errorOnly, &RunScenario<'Q'>},
        {";all=0x400000000001", {}, &RunScenario<'R'>},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(row.run(row.settings), row.expected) << "session" << row.settings;
    }
}

} // namespace
#endif
