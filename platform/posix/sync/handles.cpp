// Provides CloseHandle by the signature at the start of each kernel object (kernel_object.h).
#include "platform/posix/sync/handles.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/sync/kernel_object.h"

BOOL WINAPI CloseHandle(HANDLE handle)
{
    switch (platform::SignatureOf(handle)) {
    case platform::kSyncObjectSignature:
        return platform::CloseSyncObject(handle);
    case platform::kFileObjectSignature:
        return platform::CloseFileObject(handle);
    case platform::kMappingObjectSignature:
        return platform::CloseMappingObject(handle);
    default:
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
}
