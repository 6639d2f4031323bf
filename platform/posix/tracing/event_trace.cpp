// Provides EventRegister, EventSetInformation, EventActivityIdControl, EventWriteTransfer and
// EventUnregister over getenv (the ORVO_TRACE session, read by trace_session.cpp), getrandom, and
// open/write with O_APPEND.
#include "platform/posix/tracing/event_trace.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/tracing/trace_session.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

// A session is read from ORVO_TRACE at each EventRegister, so that a registration sees the
// environment of its own time. Enable callbacks are called outside the table's lock: a provider
// may write from its callback's thread while another registers.
namespace {

using platform::TraceSession;

struct Registration {
    GUID providerId;
    PENABLECALLBACK callback;
    PVOID context;
    std::optional<TraceSession> session; // the session, once it enabled this provider
    std::string name;               // from the provider traits
};

std::mutex g_lock;
std::map<REGHANDLE, Registration> g_registrations;
REGHANDLE g_nextHandle = 1;

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", with or without braces, either letter case.
std::string GuidText(const GUID& id)
{
    char text[37];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", id.Data1, id.Data2,
                  id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5],
                  id.Data4[6], id.Data4[7]);
    return text;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool NamesGuid(std::string_view provider, const GUID& id)
{
    if (provider.size() == 38 && provider.front() == '{' && provider.back() == '}') {
        provider = provider.substr(1, 36);
    }
    return SameText(provider, GuidText(id));
}

// An enable callback decided under the table's lock and called once the lock is released.
struct PendingEnable {
    PENABLECALLBACK callback = nullptr;
    GUID providerId{};
    PVOID context = nullptr;
    TraceSession session;

    void Call() const
    {
        if (callback != nullptr) {
            callback(&providerId, EVENT_CONTROL_CODE_ENABLE_PROVIDER, session.level, session.matchAny,
                     session.matchAll, nullptr, context);
        }
    }
};

PendingEnable Enable(Registration& registration, const TraceSession& session)
{
    registration.session = session;
    return PendingEnable{registration.callback, registration.providerId, registration.context, session};
}

bool EventPasses(const TraceSession& session, const EVENT_DESCRIPTOR& descriptor)
{
    const bool level = session.level == 0 || descriptor.Level == 0 || descriptor.Level <= session.level;
    const ULONGLONG keyword = descriptor.Keyword;
    const bool keywords = keyword == 0 ||
                          ((keyword & session.matchAny) != 0 && (keyword & session.matchAll) == session.matchAll);
    return level && keywords;
}

template <class T>
void Put(std::string& record, const T& value)
{
    record.append(reinterpret_cast<const char*>(&value), sizeof value);
}

} // namespace

ULONG EVNTAPI EventRegister(LPCGUID providerId, PENABLECALLBACK enableCallback, PVOID callbackContext,
                            PREGHANDLE regHandle)
{
    return platform::WithoutThrowing(ULONG{ERROR_NOT_ENOUGH_MEMORY}, [&]() -> ULONG {
        if (providerId == nullptr || regHandle == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        const std::optional<TraceSession> session = platform::ParseTraceSession(std::getenv("ORVO_TRACE"));
        PendingEnable pending;
        {
            const std::lock_guard<std::mutex> hold(g_lock);
            const REGHANDLE handle = g_nextHandle++;
            Registration& registration =
                g_registrations.emplace(handle, Registration{*providerId, enableCallback, callbackContext, {}, {}})
                    .first->second;
            if (session && NamesGuid(session->provider, *providerId)) {
                pending = Enable(registration, *session);
            }
            *regHandle = handle;
        }
        pending.Call();
        return ERROR_SUCCESS;
    });
}

ULONG EVNTAPI EventSetInformation(REGHANDLE regHandle, EVENT_INFO_CLASS informationClass, PVOID eventInformation,
                                  ULONG informationLength)
{
    return platform::WithoutThrowing(ULONG{ERROR_NOT_ENOUGH_MEMORY}, [&]() -> ULONG {
        if (informationClass != EventProviderSetTraits) {
            return ERROR_NOT_SUPPORTED;
        }
        const auto* bytes = static_cast<const char*>(eventInformation);
        USHORT size = 0;
        if (bytes == nullptr || informationLength < sizeof size + 1) {
            return ERROR_INVALID_PARAMETER;
        }
        std::memcpy(&size, bytes, sizeof size);
        const void* terminator = std::memchr(bytes + sizeof size, '\0', informationLength - sizeof size);
        if (size != informationLength || terminator == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        const std::optional<TraceSession> session = platform::ParseTraceSession(std::getenv("ORVO_TRACE"));
        PendingEnable pending;
        {
            const std::lock_guard<std::mutex> hold(g_lock);
            const auto found = g_registrations.find(regHandle);
            if (found == g_registrations.end()) {
                return ERROR_INVALID_HANDLE;
            }
            Registration& registration = found->second;
            registration.name = bytes + sizeof size;
            if (session && !registration.session && SameText(session->provider, registration.name)) {
                pending = Enable(registration, *session);
            }
        }
        pending.Call();
        return ERROR_SUCCESS;
    });
}

ULONG EVNTAPI EventActivityIdControl(ULONG controlCode, LPGUID activityId)
{
    if (controlCode != EVENT_ACTIVITY_CTRL_CREATE_ID || activityId == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // A random base per process, and a counter in the last six bytes (clear of the version and
    // variant bits) that keeps the ids of one process distinct.
    static const auto base = [] {
        unsigned char bytes[16] = {};
        if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            const ULONGLONG fallback = static_cast<ULONGLONG>(getpid()) * 0x9E3779B97F4A7C15ULL ^
                                       static_cast<ULONGLONG>(now.tv_sec) * 1000000000ULL ^
                                       static_cast<ULONGLONG>(now.tv_nsec);
            std::memcpy(bytes, &fallback, sizeof fallback);
        }
        return std::to_array(bytes);
    }();
    static std::atomic<ULONGLONG> counter{0};
    unsigned char bytes[16];
    std::memcpy(bytes, base.data(), sizeof bytes);
    const ULONGLONG serial = ++counter;
    for (int i = 0; i < 6; ++i) {
        bytes[10 + i] ^= static_cast<unsigned char>(serial >> (8 * i));
    }
    std::memcpy(activityId, bytes, sizeof bytes);
    // Mark the id as a random (version 4, RFC 4122 variant) GUID, away from the counter's bits.
    activityId->Data3 = static_cast<std::uint16_t>((activityId->Data3 & 0x0FFF) | 0x4000);
    activityId->Data4[0] = static_cast<std::uint8_t>((activityId->Data4[0] & 0x3F) | 0x80);
    return ERROR_SUCCESS;
}

ULONG EVNTAPI EventWriteTransfer(REGHANDLE regHandle, PCEVENT_DESCRIPTOR eventDescriptor, LPCGUID activityId,
                                 LPCGUID relatedActivityId, ULONG userDataCount, PEVENT_DATA_DESCRIPTOR userData)
{
    return platform::WithoutThrowing(ULONG{ERROR_NOT_ENOUGH_MEMORY}, [&]() -> ULONG {
        constexpr ULONG kMaxDescriptors = 128;
        if (eventDescriptor == nullptr || userDataCount > kMaxDescriptors || (userDataCount != 0 && userData == nullptr)) {
            return ERROR_INVALID_PARAMETER;
        }
        std::string file;
        {
            const std::lock_guard<std::mutex> hold(g_lock);
            const auto found = g_registrations.find(regHandle);
            if (found == g_registrations.end()) {
                return ERROR_INVALID_HANDLE;
            }
            const std::optional<TraceSession>& session = found->second.session;
            if (!session || !EventPasses(*session, *eventDescriptor)) {
                return ERROR_SUCCESS;
            }
            file = session->file;
        }
        const GUID none{};
        std::string record;
        Put(record, std::uint32_t{0}); // the record's size, set below
        Put(record, *eventDescriptor);
        Put(record, activityId != nullptr ? *activityId : none);
        Put(record, relatedActivityId != nullptr ? *relatedActivityId : none);
        Put(record, userDataCount);
        for (ULONG i = 0; i < userDataCount; ++i) {
            Put(record, userData[i].Reserved & 0xFF);
            Put(record, userData[i].Size);
            record.append(reinterpret_cast<const char*>(static_cast<std::uintptr_t>(userData[i].Ptr)), userData[i].Size);
        }
        const auto size = static_cast<std::uint32_t>(record.size());
        std::memcpy(record.data(), &size, sizeof size);

        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int openError = errno;
            return platform::PathError(openError, AT_FDCWD, file.c_str());
        }
        // One write per record: appends of concurrent writers never interleave within a record.
        const ssize_t written = write(fd, record.data(), record.size());
        const int writeError = errno;
        close(fd);
        if (written < 0) {
            return platform::Win32ErrorFromErrno(writeError);
        }
        return written == static_cast<ssize_t>(record.size()) ? ERROR_SUCCESS : ERROR_DISK_FULL;
    });
}

ULONG EVNTAPI EventUnregister(REGHANDLE regHandle)
{
    const std::lock_guard<std::mutex> hold(g_lock);
    return g_registrations.erase(regHandle) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
