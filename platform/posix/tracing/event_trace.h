// Event tracing. Provides EventRegister, EventSetInformation, EventActivityIdControl,
// EventWriteTransfer and EventUnregister over a trace session that the environment variable
// ORVO_TRACE describes (trace_session.h); enabled events are appended to the session's file
// (the README's telemetry section gives the variable's format and the record layout).
#pragma once
#include "platform/posix/system/win32_types.h"

#define NTAPI
#define EVNTAPI

using USHORT = std::uint16_t;
using REGHANDLE = ULONGLONG;
using PREGHANDLE = REGHANDLE*;
using LPCGUID = const GUID*;
using LPGUID = GUID*;

struct EVENT_DESCRIPTOR {
    USHORT Id;
    UCHAR Version;
    UCHAR Channel;
    UCHAR Level;
    UCHAR Opcode;
    USHORT Task;
    ULONGLONG Keyword;
};
using PCEVENT_DESCRIPTOR = const EVENT_DESCRIPTOR*;

// One block of event data. The low byte of Reserved is the descriptor type:
// EVENT_DATA_DESCRIPTOR_TYPE_NONE for a field value, _EVENT_METADATA or _PROVIDER_METADATA.
struct EVENT_DATA_DESCRIPTOR {
    ULONGLONG Ptr;
    ULONG Size;
    ULONG Reserved;
};
using PEVENT_DATA_DESCRIPTOR = EVENT_DATA_DESCRIPTOR*;

constexpr ULONG EVENT_DATA_DESCRIPTOR_TYPE_NONE = 0;
constexpr ULONG EVENT_DATA_DESCRIPTOR_TYPE_EVENT_METADATA = 1;
constexpr ULONG EVENT_DATA_DESCRIPTOR_TYPE_PROVIDER_METADATA = 2;

struct EVENT_FILTER_DESCRIPTOR {
    ULONGLONG Ptr;
    ULONG Size;
    ULONG Type;
};
using PEVENT_FILTER_DESCRIPTOR = EVENT_FILTER_DESCRIPTOR*;

enum EVENT_INFO_CLASS { EventProviderBinaryTrackInfo = 0, EventProviderSetReserved1 = 1, EventProviderSetTraits = 2 };

constexpr ULONG EVENT_CONTROL_CODE_ENABLE_PROVIDER = 1;
constexpr ULONG EVENT_ACTIVITY_CTRL_CREATE_ID = 3;

using PENABLECALLBACK = void (*)(LPCGUID sourceId, ULONG isEnabled, UCHAR level, ULONGLONG matchAnyKeyword,
                                 ULONGLONG matchAllKeyword, PEVENT_FILTER_DESCRIPTOR filterData,
                                 PVOID callbackContext);

// Win32: registers a provider and returns its handle (never 0) in *regHandle; ERROR_SUCCESS, or 87
// for a null provider id or handle pointer. ORVO_TRACE is read here. When the session names
// this provider by GUID, `enableCallback` is called before the function returns with control
// code 1, the session's level and keyword masks, and `callbackContext`; a session that names it
// by name enables it in EventSetInformation, once the name is known.
ULONG EVNTAPI EventRegister(LPCGUID providerId, PENABLECALLBACK enableCallback, PVOID callbackContext,
                            PREGHANDLE regHandle);
// Win32: EventProviderSetTraits takes the provider metadata (UINT16 size, the UTF-8 name and its
// terminator, then the traits); it is kept and, when the session names the provider by this name,
// the enable callback is called as above. ERROR_SUCCESS; 6 for an unknown handle; 87 for
// metadata whose size field does not match `informationLength` or holds no terminated name;
// 50 (ERROR_NOT_SUPPORTED) for any other information class.
ULONG EVNTAPI EventSetInformation(REGHANDLE regHandle, EVENT_INFO_CLASS informationClass, PVOID eventInformation,
                                  ULONG informationLength);
// Win32: EVENT_ACTIVITY_CTRL_CREATE_ID writes a new id, unique within the process and unlikely to
// repeat across processes, to *activityId; ERROR_SUCCESS. Other control codes (and a null
// pointer) give 87.
ULONG EVNTAPI EventActivityIdControl(ULONG controlCode, LPGUID activityId);
// Win32: when the session enabled this provider for the event's level and keywords (a session
// level of 0 and an event level of 0 pass every level; an event keyword of 0 passes the masks),
// appends one record to the session's file with one write: the descriptor, the activity id and
// the related id (all zero when null) and every data descriptor's type, size and bytes.
// ERROR_SUCCESS also when the event is filtered out; 6 for an unknown handle; 87 for more than
// 128 descriptors; the Win32 code of the failing open or write otherwise.
ULONG EVNTAPI EventWriteTransfer(REGHANDLE regHandle, PCEVENT_DESCRIPTOR eventDescriptor, LPCGUID activityId,
                                 LPCGUID relatedActivityId, ULONG userDataCount,
                                 PEVENT_DATA_DESCRIPTOR userData);
// Win32: ends the registration; the enable callback is not called again. ERROR_SUCCESS, or 6 for
// an unknown handle.
ULONG EVNTAPI EventUnregister(REGHANDLE regHandle);
