#include "BandState.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "ToolBandObj.h"

namespace vnl {
namespace {

struct BandRegistryRecord {
    struct Entry {
        CToolBandObj* band;
        ComPtr<IDeskBand> keep;
        HWND topLevel;
    };
    std::vector<Entry> bands;
    std::map<HWND, int> windowCounts;
};

// The one lock of both records.
std::mutex& StateLock() {
    static std::mutex lock;
    return lock;
}

BandState& State() {
    static BandState state;
    return state;
}

BandRegistryRecord& Registry() {
    static BandRegistryRecord registry;
    return registry;
}

}  // namespace

BandRef::BandRef(CToolBandObj* band) noexcept : band_(band) {
    if (band_) keep_ = ComPtr<IDeskBand>(band_->AsDeskBand());
}

bool BandSettingsLoaded() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    return State().loaded;
}

bool MarkBandSettingsLoaded() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    return std::exchange(State().loaded, true);
}

int BandDriverStatus() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    return State().driverStatus;
}

void SetBandDriverStatus(int status) noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    State().driverStatus = status;
}

bool BandArmed() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    return State().armed;
}

void SetBandArmed(bool armed) noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    State().armed = armed;
}

bool BandEngaged() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    return State().engaged;
}

void SetBandEngaged(bool engaged) noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    State().engaged = engaged;
}

BandSettings CurrentBandSettings() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    return State().settings;
}

void StoreBandSettings(const BandSettings& settings) noexcept {
    try {
        std::lock_guard<std::mutex> guard(StateLock());
        State().settings = settings;
    } catch (...) {
    }
}

bool CreateBandStopEvent() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    if (!State().stopEvent) State().stopEvent.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return State().stopEvent.valid();
}

void SignalBandStopEvent() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    if (State().stopEvent) ::SetEvent(State().stopEvent.get());
}

HANDLE BandStopEvent() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    return State().stopEvent.get();
}

void ResetBandState() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    State().loaded = false;
    State().driverStatus = 0;
    State().armed = false;
    State().engaged = false;
    State().settings = BandSettings{};
    State().savedBackgroundColor = "#FFFFFF";
    State().savedBackgroundImage.clear();
    State().stopEvent.reset();
}

bool RegisterBand(CToolBandObj* band, HWND topLevel) noexcept {
    if (!band) return false;
    try {
        ComPtr<IDeskBand> keep(band->AsDeskBand());
        std::lock_guard<std::mutex> guard(StateLock());
        auto& bands = Registry().bands;
        if (std::any_of(bands.begin(), bands.end(), [&](const auto& e) { return e.band == band; })) return false;
        bands.push_back({band, std::move(keep), topLevel});
        ++Registry().windowCounts[topLevel];
        return true;
    } catch (...) {
        return false;
    }
}

bool UnregisterBand(CToolBandObj* band) noexcept {
    ComPtr<IDeskBand> dropped;  // released after the lock: the band may go with it
    {
        std::lock_guard<std::mutex> guard(StateLock());
        auto& bands = Registry().bands;
        auto it = std::find_if(bands.begin(), bands.end(), [&](const auto& e) { return e.band == band; });
        if (it == bands.end()) return false;
        dropped = std::move(it->keep);
        bands.erase(it);
    }
    return true;
}

bool ReleaseWindowCount(HWND topLevel) noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    auto& counts = Registry().windowCounts;
    auto it = counts.find(topLevel);
    if (it == counts.end()) return false;
    if (it->second <= 1) {
        counts.erase(it);
        return true;
    }
    --it->second;
    return false;
}

int WindowBandCount(HWND topLevel) noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    auto& counts = Registry().windowCounts;
    auto it = counts.find(topLevel);
    return it == counts.end() ? 0 : it->second;
}

size_t RegisteredBandCount() noexcept {
    std::lock_guard<std::mutex> guard(StateLock());
    return Registry().bands.size();
}

BandRef FindActiveBand() noexcept {
    // Read outside the lock: asking for the foreground window or a window's
    // visibility never waits on another thread.
    const HWND foreground = ::GetForegroundWindow();
    std::lock_guard<std::mutex> guard(StateLock());
    const auto& bands = Registry().bands;
    if (bands.empty()) return {};
    if (bands.size() == 1) return BandRef(bands.front().band);
    for (const auto& entry : bands) {
        if (!foreground || entry.topLevel != foreground) continue;
        auto count = Registry().windowCounts.find(entry.topLevel);
        const bool onlyOne = count != Registry().windowCounts.end() && count->second == 1;
        HWND toolbar = entry.band->ToolbarWindow();
        if (onlyOne || (toolbar && ::IsWindowVisible(toolbar))) return BandRef(entry.band);
    }
    return {};
}

std::vector<BandRef> RegisteredBands() noexcept {
    std::vector<BandRef> result;
    try {
        std::lock_guard<std::mutex> guard(StateLock());
        for (const auto& entry : Registry().bands) result.emplace_back(entry.band);
    } catch (...) {
    }
    return result;
}

void SetStatusOnAllBands(BandStatus status) noexcept {
    // The toolbars may belong to other browser threads: no lock while they answer.
    for (const BandRef& band : RegisteredBands()) {
        if (band->ToolbarWindow()) band->SetStatusButton(status);
    }
}

}  // namespace vnl
