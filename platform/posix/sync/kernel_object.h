// Internal to the layer: what every kernel-object handle points to. Each object begins with a
// signature that names its kind, so that CloseHandle reaches the right owner and a handle of the
// wrong kind is refused (ERROR_INVALID_HANDLE) rather than misused.
#pragma once
#include "platform/posix/system/win32_types.h"

namespace platform {

constexpr std::uint32_t kSyncObjectSignature = 0x53594E43; // "SYNC": semaphores and events
constexpr std::uint32_t kFileObjectSignature = 0x46494C45; // "FILE": CreateFileW
constexpr std::uint32_t kMappingObjectSignature = 0x4D415056; // "MAPV": CreateFileMappingW
constexpr std::uint32_t kDeadObjectSignature = 0xDEADC105; // left behind by a closed object

// The signature of a handle's object; 0 for a null handle or INVALID_HANDLE_VALUE.
inline std::uint32_t SignatureOf(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return 0;
    }
    return *static_cast<const std::uint32_t*>(handle);
}

// The closers of each kind; CloseHandle has checked the signature.
BOOL CloseSyncObject(HANDLE handle);
BOOL CloseFileObject(HANDLE handle);
BOOL CloseMappingObject(HANDLE handle);

// For an overlapped read that will signal `event` when it completes: resets the event and takes
// a reference that keeps it alive until ReleaseIoEvent, even if its handle is closed meanwhile
// (Windows holds the event the same way). False, with the last error 6, when it is no event.
bool AcquireIoEvent(HANDLE event);
void ReleaseIoEvent(HANDLE event);

} // namespace platform
