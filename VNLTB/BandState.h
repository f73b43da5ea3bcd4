// The band module's process-wide records: BandState (driver status, armed and
// engaged, the preference snapshot, the stop event) and BandRegistry (the
// live bands and how many of them each top-level browser window holds).
//
// Several browser threads (one per tab) and the menu watcher thread use both.
// One lock guards them, held only for the few reads and writes inside the
// functions below: never across a call into the browser, a window of another
// thread or the driver. Callers therefore work on copies (BandSettings) and on
// band references the registry hands out.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <shobjidl.h>

#include "ComPtr.h"
#include "UniqueAny.h"

namespace vnl {

class CToolBandObj;

// A band and one reference on it, so that it stays alive while held.
class BandRef {
public:
    BandRef() noexcept = default;
    explicit BandRef(CToolBandObj* band) noexcept;
    CToolBandObj* get() const noexcept { return band_; }
    CToolBandObj* operator->() const noexcept { return band_; }
    explicit operator bool() const noexcept { return band_ != nullptr; }

private:
    CToolBandObj* band_ = nullptr;
    ComPtr<IDeskBand> keep_;
};

// Status indicator states: image/text index and command.
struct BandStatus {
    int image;
    UINT command;
};
inline constexpr BandStatus kStatusActivate{1, 10769};
inline constexpr BandStatus kStatusOff{3, 32780};
inline constexpr BandStatus kStatusOn{4, 32781};
inline constexpr BandStatus kStatusWarn{5, 32790};

// Driver status values: 0 usable, 10 usable with an untrusted keyboard filter
// present; anything else means the driver is unavailable.
inline bool DriverUsable(int status) noexcept { return status == 0 || status == 10; }

// A copy of the preference fields of BandState.
struct BandSettings {
    DWORD alwaysSecure = 0;
    DWORD highlightEnabled = 0;
    DWORD unhideFrame = 0;
    DWORD redFrameBorder = 0;
    std::string highlightColor = "#CCFFCC";
};

// The record itself. Read and written only through the functions below.
struct BandState {
    bool loaded = false;
    int driverStatus = 0;
    bool armed = false;
    bool engaged = false;
    BandSettings settings;
    std::string savedBackgroundColor = "#FFFFFF";
    std::string savedBackgroundImage;
    UniqueEvent stopEvent;  // auto-reset, unnamed; ends the menu watcher
};

// Guarded accessors of BandState.
bool BandSettingsLoaded() noexcept;
// Sets loaded; returns whether it was set before.
bool MarkBandSettingsLoaded() noexcept;
int BandDriverStatus() noexcept;
void SetBandDriverStatus(int status) noexcept;
bool BandArmed() noexcept;
void SetBandArmed(bool armed) noexcept;
bool BandEngaged() noexcept;
void SetBandEngaged(bool engaged) noexcept;
BandSettings CurrentBandSettings() noexcept;
void StoreBandSettings(const BandSettings& settings) noexcept;
// Creates the stop event unless one exists; false when it cannot be created.
bool CreateBandStopEvent() noexcept;
// Signals the stop event when there is one.
void SignalBandStopEvent() noexcept;
// The stop event handle (owned by BandState), or null.
HANDLE BandStopEvent() noexcept;
// Back to the initial record, the stop event closed (tests, module unload).
void ResetBandState() noexcept;

// BandRegistry. The registry holds a reference on every band it lists, from
// RegisterBand to UnregisterBand, so a band another thread finds stays alive
// while that thread uses it.

// Appends `band` and counts it under `topLevel`. A band registered already is
// left as it is (false).
bool RegisterBand(CToolBandObj* band, HWND topLevel) noexcept;
// Removes `band` from the list (its reference is dropped outside the lock);
// false when it was not listed.
bool UnregisterBand(CToolBandObj* band) noexcept;
// Lowers the count of `topLevel` by one. Returns true when that was the last
// band counted for the window (its entry is then removed).
bool ReleaseWindowCount(HWND topLevel) noexcept;
// The number of bands counted for `topLevel` (0 when none).
int WindowBandCount(HWND topLevel) noexcept;
// The number of registered bands.
size_t RegisteredBandCount() noexcept;
// The band that stands for the browser window in front: none with no band;
// the only band when there is one; otherwise the first band, in registration
// order, whose top-level window is the foreground window and which is the only
// band counted for that window or has a visible toolbar window.
BandRef FindActiveBand() noexcept;
// Every registered band, referenced, in registration order.
std::vector<BandRef> RegisteredBands() noexcept;
// SetStatusButton with `status` on every registered band with a toolbar window.
void SetStatusOnAllBands(BandStatus status) noexcept;

}  // namespace vnl
