// Closing kernel-object handles. Provides CloseHandle for every kind of object the layer makes:
// semaphores and events (sync.h), files (file_handle.h) and file mappings (file_view.h).
#pragma once
#include "platform/posix/system/win32_types.h"

// Win32: closes the handle. A semaphore or event lives on until calls that are using it (waits in
// progress, overlapped reads in flight) return; a file's descriptor is closed once the overlapped
// reads still in flight on it have been cancelled and have completed; a mapping lives on while
// views of it exist. FALSE with 6 for a null handle, INVALID_HANDLE_VALUE or a handle that is no
// live object of the layer. A closed handle must not be used again, as on Windows.
BOOL WINAPI CloseHandle(HANDLE handle);
