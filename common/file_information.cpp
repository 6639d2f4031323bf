// ReadFileInformation and ReadIdentity over CreateFileW and GetFileInformationByHandle.
#include "common/file_information.h"

#include "common/failure_macros.h"
#include "common/handle_owners.h"

HRESULT ReadFileInformation(const wchar_t* path, BY_HANDLE_FILE_INFORMATION& information)
{
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const OwnedHandle file(
        CreateFileW(path, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    RETURN_HR_IF(failure::HResultFromLastError(), !file.valid());
    // The last error is read before the handle is closed, which may change it.
    RETURN_IF_WIN32_BOOL_FALSE(GetFileInformationByHandle(file.get(), &information));
    return S_OK;
}

HRESULT ReadIdentity(const wchar_t* path, FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION information;
    RETURN_IF_FAILED(ReadFileInformation(path, information));
    identity = IdentityOf(information);
    return S_OK;
}
