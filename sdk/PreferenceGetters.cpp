// The four preference getters over the per-user settings key.
#include "VNLSDK.h"

#include "SettingsStore.h"
#include "UniqueAny.h"

namespace {

constexpr DWORD kDefaultFlag = 1;
constexpr DWORD kDefaultHighlightColor = 0xCCFFCC;  // pale green, 0x00BBGGRR

// Reads `name` as a DWORD into `value`. Returns 0, the registry's error code of
// the read, or ERROR_INVALID_DATA (13) when the value is not a 4-byte DWORD;
// `value` is only written on 0.
LONG ReadDwordValue(HKEY key, const char* name, DWORD* value) noexcept {
    DWORD type = 0, data = 0, size = sizeof(data);
    LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (rc != ERROR_SUCCESS) return rc;
    // A DWORD-typed value shorter than 4 bytes holds no complete number either.
    if (type != REG_DWORD || size != sizeof(data)) return ERROR_INVALID_DATA;
    *value = data;
    return ERROR_SUCCESS;
}

void WriteDwordValue(HKEY key, const char* name, DWORD value) noexcept {
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// Shared by the three single-value getters.
LONG GetFlag(const char* name, DWORD* output) noexcept {
    try {
        if (!output) return ERROR_INVALID_PARAMETER;
        vnl::UniqueRegKey key(vnl::OpenUserSettingsKey());
        if (!key) return ERROR_SUCCESS;  // no settings key: the caller's preset stands
        DWORD value = 0;
        LONG status = ReadDwordValue(key.get(), name, &value);
        if (status != ERROR_SUCCESS) {
            value = kDefaultFlag;
            WriteDwordValue(key.get(), name, value);
        }
        *output = value;
        return status;
    } catch (...) {
        return ERROR_INVALID_FUNCTION;
    }
}

}  // namespace

extern "C" LONG WINAPI VNLSDKGetAlwaysOn(DWORD* alwaysSecure) noexcept { return GetFlag("AlwaysSecure", alwaysSecure); }

extern "C" LONG WINAPI VNLSDKGetUnhideFrame(DWORD* unhideFrame) noexcept { return GetFlag("UnhideFrame", unhideFrame); }

extern "C" LONG WINAPI VNLSDKGetRedFrameBorder(DWORD* redFrameBorder) noexcept {
    return GetFlag("RedFrameBorder", redFrameBorder);
}

extern "C" LONG WINAPI VNLSDKGetCryptoColor(DWORD* highlightEnabled, DWORD* highlightColor) noexcept {
    try {
        if (!highlightEnabled || !highlightColor) return ERROR_INVALID_PARAMETER;
        vnl::UniqueRegKey key(vnl::OpenUserSettingsKey());
        if (!key) return ERROR_SUCCESS;
        DWORD enabled = kDefaultFlag, color = kDefaultHighlightColor;
        LONG status = ReadDwordValue(key.get(), "HighlightEnabled", &enabled);
        if (status != ERROR_SUCCESS) {
            // A missing or broken switch resets the pair to its defaults.
            WriteDwordValue(key.get(), "HighlightEnabled", kDefaultFlag);
            WriteDwordValue(key.get(), "HighlightColor", kDefaultHighlightColor);
            *highlightEnabled = kDefaultFlag;
            *highlightColor = kDefaultHighlightColor;
            return status;
        }
        // A colour that cannot be read is left alone, stored value and outputs alike.
        status = ReadDwordValue(key.get(), "HighlightColor", &color);
        if (status != ERROR_SUCCESS) return status;
        *highlightEnabled = enabled;
        *highlightColor = color;
        return ERROR_SUCCESS;
    } catch (...) {
        return ERROR_INVALID_FUNCTION;
    }
}
