// The exports of VNLBIN1.dll, shared with the client modules that import it.
//
// Every export uses the Windows calling convention and is exported under its
// plain, undecorated name. No export throws; callers own every record and
// output integer they pass.
#pragma once

#include <windows.h>

#ifdef VNLBIN1_BUILD
#define VNLSDK_API
#else
#define VNLSDK_API __declspec(dllimport)
#endif

#ifdef __cplusplus
#define VNLSDK_NOTHROW noexcept
extern "C" {
#else
#define VNLSDK_NOTHROW
#endif

// Size of each text of an event record, terminator included.
#define VNLSDK_EVENT_TEXT 260

// One event to report. cbSize must be sizeof(VNLSDK_EVENT) (528); dwEventId is
// the complete event-log identifier, severity bits included; szText is the
// insertion string (ANSI, no blanks: the helper keeps only the first word and
// its first 250 characters; a text that fills all 260 bytes without a NUL is
// taken as those 260 bytes, never read past); szText2 is unused and should be
// zeroed.
typedef struct VNLSDK_EVENT {
    DWORD cbSize;
    DWORD dwEventId;
    CHAR szText[VNLSDK_EVENT_TEXT];
    CHAR szText2[VNLSDK_EVENT_TEXT];
} VNLSDK_EVENT;

// The one event the product reports: an untrusted keyboard driver was found;
// its name is the insertion string.
#define VNLSDK_EVENT_UNTRUSTED_DRIVER 0xC00003E8u

// Preference getters. Each reads its value from the per-user settings key.
// Returns 0 when the stored value was read as a DWORD (stored in the output).
// Otherwise the stored value is replaced by the DWORD default 1, the output
// receives 1, and the status of the failed read is returned: the registry
// error code (2 when the value is missing, 234 when its data is larger than 4
// bytes) or 13 when it is not a DWORD. When the settings key cannot be opened
// the result is 0 and the output is left as the caller preset it. A null
// output pointer gives ERROR_INVALID_PARAMETER and nothing is read or written.
VNLSDK_API LONG WINAPI VNLSDKGetAlwaysOn(DWORD* alwaysSecure) VNLSDK_NOTHROW;
VNLSDK_API LONG WINAPI VNLSDKGetUnhideFrame(DWORD* unhideFrame) VNLSDK_NOTHROW;
VNLSDK_API LONG WINAPI VNLSDKGetRedFrameBorder(DWORD* redFrameBorder) VNLSDK_NOTHROW;

// Reads "HighlightEnabled" and "HighlightColor" (0x00BBGGRR). Statuses as for
// the single-value getters, with two differences: when "HighlightEnabled"
// cannot be read as a DWORD both values are rewritten with their defaults (1
// and 0xCCFFCC) and both outputs receive them; when only "HighlightColor"
// cannot be read as a DWORD its status is returned and nothing is written,
// neither to the registry nor to the outputs.
VNLSDK_API LONG WINAPI VNLSDKGetCryptoColor(DWORD* highlightEnabled, DWORD* highlightColor) VNLSDK_NOTHROW;

// Shows the Preferences dialog modally on the calling thread, owned by its
// active window, and returns once it has closed; OK stores the preferences,
// Cancel and the close box store nothing. Without the resource library the
// "VNLSDK Critical Error" box is shown instead. `reserved` is not used.
// Always returns 0.
VNLSDK_API LONG WINAPI VNLSDKShowPref(LONG reserved) VNLSDK_NOTHROW;

// Start a thread of their own and return 0 at once; `reserved` is not used.
// VNLSDKShowCJWarn's thread shows the hidden-frame warning unless "CJWarn" is
// non-zero. VNLSDKShowBadDWarn's thread shows one untrusted-driver warning
// after the other, for each entry of "UntrustedDrivers" that is 0. Without
// the resource library the thread shows the "VNLSDK Critical Error" box
// instead. The library stays loaded while a warning thread runs.
VNLSDK_API LONG WINAPI VNLSDKShowCJWarn(LONG reserved) VNLSDK_NOTHROW;
VNLSDK_API LONG WINAPI VNLSDKShowBadDWarn(LONG reserved) VNLSDK_NOTHROW;

// Reports one event through the helper program and returns once the helper
// has exited. Returns at once, reporting nothing, for a null record, a record
// whose cbSize is not 528 or an identifier outside the product's catalogue.
VNLSDK_API void WINAPI VNLSDKAddEvent(const VNLSDK_EVENT* event) VNLSDK_NOTHROW;

// Opens the product's view of the event log (on Windows 6 and later through
// the helper, below 6 in the management console) without waiting for it.
// `reserved` is not used. Always returns 0.
VNLSDK_API LONG WINAPI VNLSDKShowEvents(LONG reserved) VNLSDK_NOTHROW;

#ifdef __cplusplus
}  // extern "C"
static_assert(sizeof(VNLSDK_EVENT) == 528, "VNLSDK_EVENT is a fixed 528-byte record");
#endif
