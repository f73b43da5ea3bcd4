// Shared pieces of the band suites: bands made in this process, reading the
// real toolbar window back, and the stand-in driver's protection calls.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ComObject.h"
#include "ComPtr.h"
#include "MockSite.h"
#include "ToolBandObj.h"

namespace bandtest {

// A band made through the framework, as the class factory makes it.
struct Band {
    vnl::ComPtr<vnl::ComObject<vnl::CToolBandObj>> object;
    SiteHandle site;
    HRESULT setSite = E_UNEXPECTED;

    vnl::ComObject<vnl::CToolBandObj>* operator->() const { return object.get(); }
    HWND Toolbar() const { return object ? object->ToolbarWindow() : nullptr; }
};

// Creates a band and gives it a site on `window`'s rebar, adding the band's
// window to the rebar and showing it as the browser does when SetSite succeeds.
Band MakeBand(const BrowserWindow& window, MockSiteOptions options = {});
// CloseDW, SetSite(nullptr), release: the browser's teardown.
void CloseBand(Band& band);

// What the toolbar window shows.
struct ButtonView {
    int command = 0;
    int image = -1;
    BYTE style = 0;
    std::wstring text;
    std::wstring tip;
};
int ButtonCount(HWND toolbar);
ButtonView ReadButton(HWND toolbar, int index);
// Clicks the button at `index` with the mouse messages a click sends.
void ClickButton(HWND toolbar, int index);

// String `id` of the resource library the bench installs.
std::wstring ResourceLibraryString(UINT id);

// The stand-in driver's protection calls since its log was last reset.
struct ProtectionCall {
    bool on;
    std::uint32_t value;
};
std::vector<ProtectionCall> ProtectionCalls();
bool ResetDriverLog();

inline std::uint32_t CallerValue(HWND hwnd) {
    return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hwnd));
}

}  // namespace bandtest
