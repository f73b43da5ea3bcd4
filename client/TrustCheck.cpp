#include "TrustCheck.h"

#include <cstring>
#include <memory>

#include "DriverChannel.h"
#include "SettingsStore.h"
#include "UniqueAny.h"
#include "VNLSDK.h"

namespace vnl {
namespace {

constexpr const wchar_t kUntrustedDriversKey[] = L"UntrustedDrivers";

// The event for one untrusted driver: its name as 8-bit text, at most 259
// characters.
void ReportUntrustedDriver(const wchar_t* name) noexcept {
    VNLSDK_EVENT event = {};
    event.cbSize = sizeof event;
    event.dwEventId = VNLSDK_EVENT_UNTRUSTED_DRIVER;
    char text[kFilterNameUnits * 2] = {};
    if (::WideCharToMultiByte(CP_ACP, 0, name, -1, text, sizeof text, nullptr, nullptr) == 0) text[0] = 0;
    std::memcpy(event.szText, text, VNLSDK_EVENT_TEXT - 1);
    event.szText[VNLSDK_EVENT_TEXT - 1] = 0;
    VNLSDKAddEvent(&event);
}

// The user's "UntrustedDrivers" key, created with full access on first use;
// stays empty when the user settings key cannot be opened.
class UntrustedDriversKey {
public:
    void Record(const wchar_t* name) noexcept {
        if (!tried_) {
            tried_ = true;
            settings_.reset(OpenUserSettingsKey());
            HKEY drivers = nullptr;
            if (settings_ && ::RegCreateKeyExW(settings_.get(), kUntrustedDriversKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, &drivers, nullptr) == ERROR_SUCCESS)
                drivers_.reset(drivers);
        }
        if (!drivers_) return;
        // A value the user already has (0, or 1 for "do not warn again") stays.
        if (::RegQueryValueExW(drivers_.get(), name, nullptr, nullptr, nullptr, nullptr) != ERROR_FILE_NOT_FOUND)
            return;
        const DWORD warn = 0;
        ::RegSetValueExW(drivers_.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&warn), sizeof warn);
    }

private:
    bool tried_ = false;
    UniqueRegKey settings_;
    UniqueRegKey drivers_;
};

void DeleteUntrustedDrivers() noexcept {
    UniqueRegKey settings(OpenUserSettingsKey());
    if (settings) ::RegDeleteKeyW(settings.get(), kUntrustedDriversKey);
}

}  // namespace

int CheckKeyboardFilterTrust(DriverChannel& channel) {
    static_assert(sizeof(FilterEntry) == 788 && sizeof(wchar_t) == sizeof(char16_t));
    auto listing = std::make_unique<unsigned char[]>(kListFiltersCapacity);
    std::uint32_t length = 0;
    unsigned untrusted = 0;
    UntrustedDriversKey drivers;
    if (channel.ListKeyboardFilters(listing.get(), &length) == 0 && length != 0) {
        wchar_t systemDirectory[MAX_PATH] = {};
        const UINT written = ::GetSystemDirectoryW(systemDirectory, MAX_PATH);
        if (written == 0 || written >= MAX_PATH) systemDirectory[0] = 0;
        for (std::uint32_t index = 0; index * sizeof(FilterEntry) < length; ++index) {
            const unsigned char* entry = listing.get() + index * sizeof(FilterEntry);
            if (ReadEnvelopeWord(entry, offsetof(FilterEntry, inUse)) == 0) continue;
            // The name, terminated within its entry whatever the driver sent.
            wchar_t name[kFilterNameUnits + 1] = {};
            std::memcpy(name, entry + offsetof(FilterEntry, name), kFilterNameUnits * sizeof(wchar_t));
            wchar_t path[MAX_PATH];
            if (BuildDriverFilePath(systemDirectory, reinterpret_cast<const char16_t*>(name), kFilterNameUnits,
                                    path) &&
                VerifyDriverFile(path) == 1)
                continue;
            ReportUntrustedDriver(name);
            ++untrusted;
            drivers.Record(name);
        }
    }
    if (untrusted != 0) {
        VNLSDKShowBadDWarn(0);
        return 10;
    }
    DeleteUntrustedDrivers();
    return 0;
}

}  // namespace vnl
