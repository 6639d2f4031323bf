// Failure reporting: what the macros report, how often they evaluate, the observer seam, and the
// exact debug line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/failure_macros.h"
#include "common/hresults.h"

namespace {

struct Recorded {
    failure::FailureKind kind;
    HRESULT hr;
    std::string code;
    std::string function;
    std::wstring message;
    std::uint32_t count;
};
std::vector<Recorded> g_recorded;

void Record(const failure::FailureInfo& info)
{
    g_recorded.push_back({info.kind, info.hr, info.code ? info.code : "", info.function ? info.function : "",
                          info.message ? info.message : L"", info.failureCount});
}

class FailureReporting : public testing::Test {
protected:
    void SetUp() override
    {
        g_recorded.clear();
        previous_ = failure::SetFailureCallback(Record);
    }
    void TearDown() override { failure::SetFailureCallback(previous_); }

private:
    failure::FailureCallback previous_ = nullptr;
};

int g_evaluations = 0;
HRESULT Fails()
{
    ++g_evaluations;
    return E_ACCESSDENIED;
}

HRESULT PassesOnFailure()
{
    RETURN_IF_FAILED(Fails());
    return S_OK;
}

HRESULT ReturnsWithMessage(const wchar_t* path)
{
    RETURN_HR_MSG(kHrTimeout, L"WorkPath=\"%ls\"", path);
}

HRESULT ReturnsLastError()
{
    SetLastError(ERROR_PATH_NOT_FOUND);
    RETURN_IF_WIN32_BOOL_FALSE(FALSE);
    return S_OK;
}

HRESULT ReturnsOnNull(void* pointer)
{
    RETURN_IF_NULL_ALLOC(pointer);
    return S_OK;
}

TEST_F(FailureReporting, ReturnMacrosReportOnceAndEvaluateOnce)
{
    g_evaluations = 0;
    EXPECT_EQ(PassesOnFailure(), E_ACCESSDENIED);
    EXPECT_EQ(g_evaluations, 1);
    ASSERT_EQ(g_recorded.size(), 1u);
    EXPECT_EQ(g_recorded[0].kind, failure::FailureKind::ReturnHr);
    EXPECT_EQ(g_recorded[0].code, "Fails()");
    EXPECT_EQ(g_recorded[0].function, "PassesOnFailure");

    EXPECT_EQ(ReturnsWithMessage(L"/x/y"), kHrTimeout);
    EXPECT_EQ(g_recorded.back().message, L"WorkPath=\"/x/y\"");
    EXPECT_EQ(ReturnsLastError(), static_cast<HRESULT>(0x80070003));
    EXPECT_EQ(ReturnsOnNull(nullptr), E_OUTOFMEMORY);
    int value = 0;
    EXPECT_EQ(ReturnsOnNull(&value), S_OK);
    EXPECT_EQ(g_recorded.size(), 4u);
}

HRESULT ReturnsIf(bool condition)
{
    RETURN_HR_IF(E_FAIL, condition);
    return S_OK;
}

TEST_F(FailureReporting, SuccessIsNeverReported)
{
    EXPECT_EQ(ReturnsIf(false), S_OK);
    EXPECT_EQ(LOG_IF_FAILED(S_FALSE), S_FALSE);
    EXPECT_TRUE(g_recorded.empty());
    EXPECT_EQ(LOG_IF_FAILED(E_INVALIDARG), E_INVALIDARG);
    ASSERT_EQ(g_recorded.size(), 1u);
    EXPECT_EQ(g_recorded[0].kind, failure::FailureKind::LogHr);
}

TEST_F(FailureReporting, CountGrowsByOnePerReport)
{
    const std::uint32_t before = failure::FailureCount();
    LOG_HR(E_FAIL);
    LOG_HR(E_FAIL);
    EXPECT_EQ(failure::FailureCount(), before + 2);
    EXPECT_EQ(g_recorded.back().count, before + 2);
}

TEST_F(FailureReporting, ThreadObserverSeesOnlyItsThread)
{
    int seen = 0;
    const failure::ThreadObserver previous = failure::SetThreadFailureObserver(
        {[](void* context, const failure::FailureInfo&) { ++*static_cast<int*>(context); }, &seen});
    LOG_HR(E_FAIL);
    failure::SetThreadFailureObserver(previous);
    LOG_HR(E_FAIL);
    EXPECT_EQ(seen, 1);
}

TEST(FailureLine, HasTheDebuggerLayout)
{
    failure::FailureInfo info;
    info.kind = failure::FailureKind::ReturnHr;
    info.hr = E_ACCESSDENIED;
    info.failureCount = 7;
    info.threadId = 0x1a2b;
    info.module = "purgent";
    info.returnAddress = nullptr;
    wchar_t line[2048];

    info.file = "walk.cpp";
    info.line = 42;
    info.function = "Walk";
    info.code = "DeleteFileW(path)";
    info.message = L"WorkPath=\"x\"";
    failure::FormatFailureLine(info, line, 2048);
    const std::wstring text(line);
    EXPECT_EQ(text.rfind(L"walk.cpp(42)\\purgent!", 0), 0u) << text;
    EXPECT_NE(text.find(L"ReturnHr(7) tid(1a2b) 80070005 "), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"    Msg:[WorkPath=\"x\"] [Walk(DeleteFileW(path))]\n"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"(caller:"), std::wstring::npos);

    info.file = nullptr;
    info.message = nullptr;
    info.code = nullptr;
    info.callContext = "Cleanup";
    int caller = 0;
    info.callerReturnAddress = &caller;
    failure::FormatFailureLine(info, line, 2048);
    const std::wstring second(line);
    EXPECT_EQ(second.rfind(L"purgent!", 0), 0u) << second;
    EXPECT_NE(second.find(L"(caller: "), std::wstring::npos);
    EXPECT_NE(second.find(L"    CallContext:[Cleanup] [Walk]\n"), std::wstring::npos) << second;

    info.function = nullptr;
    info.callContext = nullptr;
    failure::FormatFailureLine(info, line, 2048);
    EXPECT_EQ(std::wstring(line).find(L"    "), std::wstring::npos);
}

TEST(FailureLine, StaysWithinItsBuffer)
{
    failure::FailureInfo info;
    info.hr = E_FAIL;
    info.module = "m";
    info.function = "f";
    const std::wstring longMessage(5000, L'z');
    info.message = longMessage.c_str();
    wchar_t line[2048];
    failure::FormatFailureLine(info, line, 2048);
    EXPECT_EQ(std::wstring(line).size(), 2047u);
}

} // namespace
