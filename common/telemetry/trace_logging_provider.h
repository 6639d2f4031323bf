// The provider base class of the tools' telemetry: one process-wide instance per provider,
// registered on first use (one-time initialization), unregistered at process exit; the enable
// callback keeps the session's level and keyword masks, and IsEnabled tests an event against
// them before anything is formatted.
//
// Provider metadata: UINT16 total size, the provider name with its terminator, then one trait:
// UINT16 trait size, BYTE trait type 1 (provider group) and the 16-byte group GUID.
#pragma once
#include "platform/platform.h"

#include <array>
#include <atomic>
#include <cstdint>

#include "common/telemetry/event_fields.h"

namespace telemetry {

// The descriptor parts that every event of these providers shares.
inline constexpr UCHAR kTraceLoggingChannel = 11;
inline constexpr UCHAR kOpcodeInfo = 0;
inline constexpr UCHAR kOpcodeStart = 1;
inline constexpr UCHAR kOpcodeStop = 2;
inline constexpr UCHAR kLevelError = 2;
inline constexpr UCHAR kLevelInformation = 4;
inline constexpr UCHAR kLevelVerbose = 5;

class TraceLoggingProvider {
public:
    TraceLoggingProvider(const TraceLoggingProvider&) = delete;
    TraceLoggingProvider& operator=(const TraceLoggingProvider&) = delete;

    // True when a session enabled the provider for `level` and `keyword`: enabled level plus one
    // above `level`, `keyword` sharing a bit with the keyword-any mask and holding every bit of
    // the keyword-all mask.
    bool IsEnabled(UCHAR level, ULONGLONG keyword) const;

    // Writes the event (id 0, version 0, channel 11, task 0) with the given level, opcode and
    // keyword. Failures of the write are ignored: telemetry never changes what a tool does.
    void Write(EventFields& fields, UCHAR level, UCHAR opcode, ULONGLONG keyword, const GUID* activityId,
               const GUID* relatedActivityId) const;

protected:
    explicit constexpr TraceLoggingProvider(const char* name) : name_(name) {}

    template <class Provider>
    friend Provider& ProviderInstance();

private:
    // Registers on the first call (others wait for it) and arranges `cleanup` at process exit.
    void RegisterOnce(INIT_ONCE& once, void (*cleanup)());
    void Register();
    void Unregister();
    static void NTAPI EnableCallback(LPCGUID sourceId, ULONG controlCode, UCHAR level, ULONGLONG matchAnyKeyword,
                                     ULONGLONG matchAllKeyword, PEVENT_FILTER_DESCRIPTOR filterData, PVOID context);

    const char* name_;
    std::atomic<REGHANDLE> handle_{0};
    std::atomic<ULONG> levelPlusOne_{0}; // 0: disabled; 256: every level
    std::atomic<ULONGLONG> matchAny_{0};
    std::atomic<ULONGLONG> matchAll_{0};
    std::array<char, 256> metadata_{};
    USHORT metadataSize_ = 0;
};

// The process-wide instance of `Provider` (a class derived from TraceLoggingProvider with a
// constexpr default constructor), registered by the first call.
template <class Provider>
Provider& ProviderInstance()
{
    static constinit Provider provider;
    static constinit INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    provider.RegisterOnce(once, [] { provider.Unregister(); });
    return provider;
}

} // namespace telemetry
