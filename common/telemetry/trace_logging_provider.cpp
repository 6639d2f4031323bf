// Registration, the enable callback, the enabled test and the event write of the provider base.
#include "common/telemetry/trace_logging_provider.h"

#include <cstdlib>
#include <cstring>

#include "common/failure_macros.h"
#include "common/telemetry/provider_ids.h"

namespace telemetry {

namespace {
constexpr ULONG kEnableProvider = 1;
constexpr ULONG kDisableProvider = 0;
constexpr std::uint8_t kTraitProviderGroup = 1;
// EventSetInformation's class for provider traits (not named by every SDK's headers).
constexpr auto kSetTraits = static_cast<EVENT_INFO_CLASS>(2);
} // namespace

bool TraceLoggingProvider::IsEnabled(UCHAR level, ULONGLONG keyword) const
{
    const ULONGLONG all = matchAll_.load(std::memory_order_relaxed);
    return levelPlusOne_.load(std::memory_order_relaxed) > level &&
           (keyword & matchAny_.load(std::memory_order_relaxed)) != 0 && (keyword & all) == all;
}

void TraceLoggingProvider::Write(EventFields& fields, UCHAR level, UCHAR opcode, ULONGLONG keyword,
                                 const GUID* activityId, const GUID* relatedActivityId) const
{
    EVENT_DESCRIPTOR descriptor{};
    descriptor.Channel = kTraceLoggingChannel;
    descriptor.Level = level;
    descriptor.Opcode = opcode;
    descriptor.Keyword = keyword;
    EVENT_DATA_DESCRIPTOR* descriptors = fields.Descriptors(metadata_.data(), metadataSize_);
    EventWriteTransfer(handle_.load(std::memory_order_acquire), &descriptor, activityId, relatedActivityId,
                       fields.DescriptorCount(), descriptors);
}

void TraceLoggingProvider::RegisterOnce(INIT_ONCE& once, void (*cleanup)())
{
    BOOL pending = FALSE;
    FAIL_FAST_HR_IF(failure::HResultFromLastError(), !InitOnceBeginInitialize(&once, 0, &pending, nullptr));
    if (pending) {
        std::atexit(cleanup);
        Register();
        FAIL_FAST_HR_IF(failure::HResultFromLastError(), !InitOnceComplete(&once, 0, nullptr));
    }
}

void TraceLoggingProvider::Register()
{
    // Metadata: size, name, then the provider-group trait (size, type, GUID).
    const size_t nameBytes = std::strlen(name_) + 1;
    const std::uint16_t traitSize = sizeof(std::uint16_t) + 1 + sizeof(GUID);
    const size_t total = sizeof(std::uint16_t) + nameBytes + traitSize;
    FAIL_FAST_HR_IF(E_INVALIDARG, total > metadata_.size());
    char* cursor = metadata_.data();
    const auto totalSize = static_cast<std::uint16_t>(total);
    std::memcpy(cursor, &totalSize, sizeof totalSize);
    cursor += sizeof totalSize;
    std::memcpy(cursor, name_, nameBytes);
    cursor += nameBytes;
    std::memcpy(cursor, &traitSize, sizeof traitSize);
    cursor += sizeof traitSize;
    *cursor++ = static_cast<char>(kTraitProviderGroup);
    std::memcpy(cursor, &kTelemetryGroupId, sizeof kTelemetryGroupId);
    metadataSize_ = totalSize;

    REGHANDLE handle = 0;
    if (EventRegister(&kToolsProviderId, &EnableCallback, this, &handle) != ERROR_SUCCESS) {
        // No session will ever enable the provider; the tool runs on unaffected.
        handle_.store(0);
        levelPlusOne_.store(0);
        return;
    }
    handle_.store(handle, std::memory_order_release);
    EventSetInformation(handle, kSetTraits, metadata_.data(), metadataSize_);
}

void TraceLoggingProvider::Unregister()
{
    const REGHANDLE handle = handle_.exchange(0);
    levelPlusOne_.store(0);
    if (handle != 0) {
        EventUnregister(handle);
    }
}

void NTAPI TraceLoggingProvider::EnableCallback(LPCGUID, ULONG controlCode, UCHAR level, ULONGLONG matchAnyKeyword,
                                                ULONGLONG matchAllKeyword, PEVENT_FILTER_DESCRIPTOR, PVOID context)
{
    auto* provider = static_cast<TraceLoggingProvider*>(context);
    if (controlCode == kEnableProvider) {
        provider->matchAny_.store(matchAnyKeyword, std::memory_order_relaxed);
        provider->matchAll_.store(matchAllKeyword, std::memory_order_relaxed);
        provider->levelPlusOne_.store(level == 0 ? 256 : static_cast<ULONG>(level) + 1, std::memory_order_relaxed);
    } else if (controlCode == kDisableProvider) {
        provider->levelPlusOne_.store(0, std::memory_order_relaxed);
    }
}

} // namespace telemetry
