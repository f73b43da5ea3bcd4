#include "TrustCheck.h"

#include <mscat.h>
#include <wintrust.h>

#include <cstdio>
#include <string>

#include "UniqueAny.h"

namespace vnl {
namespace {

// WINTRUST_ACTION_GENERIC_VERIFY_V2 and DRIVER_ACTION_VERIFY, spelled out so
// that nothing of wintrust is bound at load time.
constexpr GUID kGenericVerifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
constexpr GUID kDriverActionVerify = {0xF750E6C3, 0x38EE, 0x11D1, {0x85, 0xE5, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
constexpr DWORD kSaferFlag = 0x100;            // WTD_SAFER_FLAG
constexpr DWORD kFileHashRoom = 100;           // bytes

// The trust services, bound at run time from "wintrust.dll".
struct Wintrust {
    using VerifyTrust = LONG(WINAPI*)(HWND, GUID*, LPVOID);
    using AcquireContext = BOOL(WINAPI*)(HCATADMIN*, const GUID*, DWORD);
    using ReleaseContext = BOOL(WINAPI*)(HCATADMIN, DWORD);
    using ReleaseCatalogContext = BOOL(WINAPI*)(HCATADMIN, HCATINFO, DWORD);
    using CatalogInfoFromContext = BOOL(WINAPI*)(HCATINFO, CATALOG_INFO*, DWORD);
    using EnumCatalogFromHash = HCATINFO(WINAPI*)(HCATADMIN, BYTE*, DWORD, DWORD, HCATINFO*);
    using CalcHashFromFileHandle = BOOL(WINAPI*)(HANDLE, DWORD*, BYTE*, DWORD);

    UniqueModule library;
    VerifyTrust verifyTrust = nullptr;
    ReleaseContext releaseContext = nullptr;
    ReleaseCatalogContext releaseCatalogContext = nullptr;
    CatalogInfoFromContext catalogInfoFromContext = nullptr;
    EnumCatalogFromHash enumCatalogFromHash = nullptr;
    AcquireContext acquireContext = nullptr;
    CalcHashFromFileHandle calcHashFromFileHandle = nullptr;

    // False when the library or any of the seven entry points is missing.
    bool Load() noexcept {
        library.reset(::LoadLibraryW(L"wintrust.dll"));
        if (!library) return false;
        return Bind(verifyTrust, "WinVerifyTrust") && Bind(releaseContext, "CryptCATAdminReleaseContext") &&
               Bind(releaseCatalogContext, "CryptCATAdminReleaseCatalogContext") &&
               Bind(catalogInfoFromContext, "CryptCATCatalogInfoFromContext") &&
               Bind(enumCatalogFromHash, "CryptCATAdminEnumCatalogFromHash") &&
               Bind(acquireContext, "CryptCATAdminAcquireContext") &&
               Bind(calcHashFromFileHandle, "CryptCATAdminCalcHashFromFileHandle");
    }

private:
    template <typename Function>
    bool Bind(Function& function, const char* name) noexcept {
        function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library.get(), name)));
        return function != nullptr;
    }
};

LONG VerifyEmbedded(const Wintrust& trust, const wchar_t* path) noexcept {
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwProvFlags = kSaferFlag;
    GUID action = kGenericVerifyV2;
    return trust.verifyTrust(nullptr, &action, &data);
}

// Releases a catalogue administrator context and, when held, a catalogue.
class CatalogAdmin {
public:
    CatalogAdmin(const Wintrust& trust, HCATADMIN admin) noexcept : trust_(trust), admin_(admin) {}
    ~CatalogAdmin() {
        if (catalog_ != nullptr) trust_.releaseCatalogContext(admin_, catalog_, 0);
        trust_.releaseContext(admin_, 0);
    }
    CatalogAdmin(const CatalogAdmin&) = delete;
    CatalogAdmin& operator=(const CatalogAdmin&) = delete;
    void HoldCatalog(HCATINFO catalog) noexcept { catalog_ = catalog; }

private:
    const Wintrust& trust_;
    HCATADMIN admin_;
    HCATINFO catalog_ = nullptr;
};

// The result of verifying the file as a member of a system catalogue, or
// `previous` when no catalogue holds its hash.
LONG VerifyThroughCatalog(const Wintrust& trust, const wchar_t* path, LONG previous) noexcept {
    UniqueFileHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return previous;
    BYTE hash[kFileHashRoom] = {};
    DWORD hashLength = sizeof hash;
    if (!trust.calcHashFromFileHandle(file.get(), &hashLength, hash, 0) || hashLength > sizeof hash)
        return previous;
    // The member tag: the hash in upper-case hexadecimal, two digits a byte.
    wchar_t tag[2 * kFileHashRoom + 1] = {};
    for (DWORD i = 0; i < hashLength; ++i) std::swprintf(tag + 2 * i, 3, L"%02X", hash[i]);

    HCATADMIN admin = nullptr;
    GUID subsystem = kDriverActionVerify;
    if (!trust.acquireContext(&admin, &subsystem, 0)) return previous;
    CatalogAdmin owner(trust, admin);
    HCATINFO catalog = trust.enumCatalogFromHash(admin, hash, hashLength, 0, nullptr);
    if (catalog == nullptr) return previous;
    owner.HoldCatalog(catalog);

    CATALOG_INFO info = {};
    info.cbStruct = sizeof info;
    trust.catalogInfoFromContext(catalog, &info, 0);
    WINTRUST_CATALOG_INFO member = {};
    member.cbStruct = sizeof member;
    member.dwCatalogVersion = 0;
    member.pcwszCatalogFilePath = info.wszCatalogFile;
    member.pcwszMemberTag = tag;
    member.pcwszMemberFilePath = path;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data.dwUnionChoice = WTD_CHOICE_CATALOG;
    data.pCatalog = &member;
    GUID action = kGenericVerifyV2;
    return trust.verifyTrust(nullptr, &action, &data);
}

}  // namespace

bool BuildDriverFilePath(const wchar_t* systemDirectory, const char16_t* name, std::size_t units,
                         wchar_t (&path)[MAX_PATH]) noexcept {
    path[0] = 0;
    std::size_t length = 0;
    while (length < units && name[length] != 0) ++length;
    std::size_t last = length;
    for (std::size_t i = 0; i < length; ++i)
        if (name[i] == u'\\') last = i;
    if (last == length) return false;  // no backslash: no file to name

    // "%s\Drivers%s.sys" with the name's part from its last backslash on.
    std::wstring built = systemDirectory;
    built += L"\\Drivers";
    built.append(reinterpret_cast<const wchar_t*>(name + last), length - last);
    built += L".sys";
    if (built.size() >= MAX_PATH) return false;
    std::wmemcpy(path, built.c_str(), built.size() + 1);
    return true;
}

int VerifyDriverFile(const wchar_t* path) noexcept {
    try {
        Wintrust trust;
        if (path == nullptr || !trust.Load()) return 0;
        LONG result = VerifyEmbedded(trust, path);
        if (result != 0) result = VerifyThroughCatalog(trust, path, result);
        return result == 0 ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace vnl
