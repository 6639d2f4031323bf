// What the ways of reading a file ask of it before they read: its size by name, and whether what
// was opened is a regular file and how long it is.
#pragma once
#include "platform/platform.h"

#include "common/hresults.h"

// The size of the file `path` names, a link followed to its target; `size` is left as it was on
// failure. `folder` is set when the name is a folder or a link to one, even when the size cannot
// be read or the lookup cannot take the name. Where names may hold '*' and '?' (Linux), the lookup takes them literally, so that the
// size found is that of the file opened afterwards.
HRESULT LookUpSize(const wchar_t* path, ULONGLONG& size, bool& folder);

// S_OK when the handle, opened for reading without FILE_FLAG_BACKUP_SEMANTICS (so never on a
// folder), is open on a regular file; kHrFileInvalid for a pipe, a FIFO, a socket or a device,
// which a name can lead to once the lookup has seen a file there.
HRESULT CheckRegularFile(HANDLE file);

// The size of an open file, from GetFileSize.
HRESULT SizeOfOpenFile(HANDLE file, ULONGLONG& size);
