#include "DriverSetup.h"

#include <tlhelp32.h>

#include <string>
#include <vector>

#include "ErrorMacros.h"
#include "FilterList.h"
#include "ProcessNames.h"
#include "UniqueAny.h"

namespace vnl {
namespace {

LONG SetDword(HKEY key, const wchar_t* name, DWORD value) noexcept {
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG SetExpandString(HKEY key, const wchar_t* name, const std::wstring& value) noexcept {
    return ::RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Reads "UpperFilters" into its 520-byte buffer with its type.
LONG ReadFilterList(HKEY classKey, FilterListBuffer* list, DWORD* type) noexcept {
    DWORD size = kFilterListBufferSize;
    const LONG result = ::RegQueryValueExW(classKey, kUpperFiltersValue, nullptr, type, list->data, &size);
    if (result == ERROR_SUCCESS) list->length = size;
    return result;
}

LONG WriteFilterList(HKEY classKey, const FilterListBuffer& list, DWORD type) noexcept {
    return ::RegSetValueExW(classKey, kUpperFiltersValue, 0, type, list.data, static_cast<DWORD>(list.length));
}

struct FileVersion {
    DWORD fileMS = 0, fileLS = 0, productMS = 0, productLS = 0;
};

// The fixed version block of a file; false when it has none.
bool ReadFileVersion(const std::wstring& path, FileVersion* version) {
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixed == nullptr ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    *version = {fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS, fixed->dwProductVersionLS};
    return true;
}

bool ReadFileSizeLow(const std::wstring& path, DWORD* sizeLow) noexcept {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    *sizeLow = data.nFileSizeLow;
    return true;
}

// Both files carry version information, their fixed blocks agree in file and
// product version, and the low 32 bits of their sizes are equal.
bool CopyMatchesSource(const std::wstring& source, const std::wstring& target) {
    FileVersion a, b;
    DWORD sizeA = 0, sizeB = 0;
    if (!ReadFileVersion(source, &a) || !ReadFileVersion(target, &b)) return false;
    if (a.fileMS != b.fileMS || a.fileLS != b.fileLS || a.productMS != b.productMS || a.productLS != b.productLS)
        return false;
    return ReadFileSizeLow(source, &sizeA) && ReadFileSizeLow(target, &sizeB) && sizeA == sizeB;
}

DWORD InstallService(ProgressSink& progress) noexcept {
    UniqueRegKey service;
    RETURN_IF_WIN32_ERROR(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, service.put(), nullptr));
    progress.Report(30);
    RETURN_IF_WIN32_ERROR(SetDword(service.get(), L"Type", SERVICE_KERNEL_DRIVER));
    RETURN_IF_WIN32_ERROR(SetDword(service.get(), L"ErrorControl", SERVICE_ERROR_NORMAL));
    RETURN_IF_WIN32_ERROR(SetDword(service.get(), L"Start", SERVICE_SYSTEM_START));
    progress.Report(40);
    return ERROR_SUCCESS;
}

DWORD AddToKeyboardClass(ProgressSink& progress) noexcept {
    UniqueRegKey classKey;
    RETURN_IF_WIN32_ERROR(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyboardClassKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                          classKey.put()));
    progress.Report(50);
    FilterListBuffer list;
    DWORD type = 0;
    const LONG read = ReadFilterList(classKey.get(), &list, &type);
    // A list longer than the buffer has no room for the new item either.
    if (read == ERROR_MORE_DATA) return ERROR_INSUFFICIENT_BUFFER;
    RETURN_IF_WIN32_ERROR(read);
    // Written back with any other type, the new list would read as one name
    // (or none) and drop the filters already there.
    if (type != REG_MULTI_SZ) return ERROR_INVALID_DATA;
    progress.Report(60);
    switch (AddFilterFirst(list)) {
    case FilterEdit::TooLong: return ERROR_INSUFFICIENT_BUFFER;
    case FilterEdit::Changed: RETURN_IF_WIN32_ERROR(WriteFilterList(classKey.get(), list, type)); break;
    case FilterEdit::Unchanged: break;
    }
    progress.Report(70);
    return ERROR_SUCCESS;
}

DWORD CopyDriverFile(const InstallerPaths& paths, ProgressSink& progress) {
    progress.Report(80);
    ::SetFileAttributesW(paths.target.c_str(), FILE_ATTRIBUTE_NORMAL);
    RETURN_LAST_ERROR_IF_FALSE(::CopyFileW(paths.source.c_str(), paths.target.c_str(), FALSE));
    ::SetFileAttributesW(paths.target.c_str(), FILE_ATTRIBUTE_NORMAL);
    progress.Report(90);
    const bool matches = CopyMatchesSource(paths.source, paths.target);
    progress.Report(100);
    return matches ? ERROR_SUCCESS : kCopyMismatch;
}

DWORD RemoveFromKeyboardClass(ProgressSink& progress) noexcept {
    UniqueRegKey classKey;
    RETURN_IF_WIN32_ERROR(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyboardClassKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                          classKey.put()));
    FilterListBuffer list;
    DWORD type = 0;
    RETURN_IF_WIN32_ERROR(ReadFilterList(classKey.get(), &list, &type));
    progress.Report(30);
    // Only a multi-string can hold the item as the installation wrote it.
    if (type == REG_MULTI_SZ && RemoveFilter(list) == FilterEdit::Changed)
        RETURN_IF_WIN32_ERROR(WriteFilterList(classKey.get(), list, type));
    progress.Report(50);
    return ERROR_SUCCESS;
}

DWORD DeleteServiceKey() noexcept {
    {
        UniqueRegKey service;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, service.put()) != ERROR_SUCCESS)
            return ERROR_SUCCESS;  // nothing installed: go on with the file
    }
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kServiceKey) + L"\\Security").c_str());
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kServiceKey) + L"\\Enum").c_str());
    RETURN_IF_WIN32_ERROR(::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kServiceKey));
    return ERROR_SUCCESS;
}

}  // namespace

DWORD InstallDriver(const InstallerPaths& paths, ProgressSink& progress) noexcept try {
    RETURN_IF_WIN32_ERROR(InstallService(progress));
    RETURN_IF_WIN32_ERROR(AddToKeyboardClass(progress));
    return CopyDriverFile(paths, progress);
} catch (...) {
    return ERROR_OUTOFMEMORY;
}

DWORD UninstallDriver(const InstallerPaths& paths, ProgressSink& progress) noexcept try {
    progress.Report(0);
    RETURN_IF_WIN32_ERROR(RemoveFromKeyboardClass(progress));
    RETURN_IF_WIN32_ERROR(DeleteServiceKey());
    progress.Report(70);
    // The file may be in use until the restart: it goes under another name now
    // and is deleted then.
    if (::MoveFileExW(paths.target.c_str(), paths.removal.c_str(), MOVEFILE_REPLACE_EXISTING))
        ::MoveFileExW(paths.removal.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    progress.Report(100);
    return ERROR_SUCCESS;
} catch (...) {
    return ERROR_OUTOFMEMORY;
}

DWORD RegisterProductEventSource() noexcept try {
    UniqueRegKey source;
    DWORD disposition = 0;
    RETURN_IF_WIN32_ERROR(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, source.put(), &disposition));
    // An existing source keeps what it has, even if the folder moved since.
    if (disposition != REG_CREATED_NEW_KEY) return ERROR_SUCCESS;
    const std::wstring messageFile = ReadInstallPathW() + L"events\\events.dll";
    RETURN_IF_WIN32_ERROR(SetExpandString(source.get(), L"EventMessageFile", messageFile));
    RETURN_IF_WIN32_ERROR(SetDword(source.get(), L"TypesSupported", 7));
    RETURN_IF_WIN32_ERROR(SetExpandString(source.get(), L"CategoryMessageFile", messageFile));
    RETURN_IF_WIN32_ERROR(SetDword(source.get(), L"CategoryCount", 2));
    return ERROR_SUCCESS;
} catch (...) {
    return ERROR_OUTOFMEMORY;
}

DWORD EndBrowserProcesses() noexcept {
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ERROR_INVALID_HANDLE;  // 6
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    RETURN_LAST_ERROR_IF_FALSE(::Process32FirstW(snapshot.get(), &entry));
    do {
        entry.szExeFile[ARRAYSIZE(entry.szExeFile) - 1] = 0;
        if (!IsBrowserProcessName(entry.szExeFile)) continue;
        UniqueProcess process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID));
        if (process) ::TerminateProcess(process.get(), 0);
    } while (::Process32NextW(snapshot.get(), &entry));
    return ERROR_SUCCESS;
}

}  // namespace vnl
