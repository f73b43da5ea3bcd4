#include "BandTestSupport.h"

#include "DriverControl.h"
#include "DriverProtocol.h"

namespace bandtest {

Band MakeBand(const BrowserWindow& window, MockSiteOptions options) {
    Band band;
    vnl::ComObject<vnl::CToolBandObj>* object = nullptr;
    if (FAILED(vnl::ComObject<vnl::CToolBandObj>::CreateInstance(&object))) return band;
    band.object.attach(object);
    band.site = window.MakeSite(options);
    band.setSite = band.object->SetSite(band.site.site.get());
    if (SUCCEEDED(band.setSite)) {
        window.AddBand(band.Toolbar());
        band.object->ShowDW(TRUE);
    }
    PumpMessages();
    return band;
}

void CloseBand(Band& band) {
    if (!band.object) return;
    band.object->CloseDW(0);
    band.object->SetSite(nullptr);
    band.object.reset();
    PumpMessages();
}

int ButtonCount(HWND toolbar) { return static_cast<int>(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)); }

ButtonView ReadButton(HWND toolbar, int index) {
    ButtonView view;
    TBBUTTON button{};
    if (!::SendMessageW(toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button))) return view;
    view.command = button.idCommand;
    view.image = button.iBitmap;
    view.style = button.fsStyle;
    wchar_t text[300] = {};
    if (::SendMessageW(toolbar, TB_GETBUTTONTEXTW, button.idCommand, reinterpret_cast<LPARAM>(text)) >= 0)
        view.text = text;
    HWND tips = reinterpret_cast<HWND>(::SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    if (tips) {
        wchar_t tip[1024] = {};
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = toolbar;
        tool.uId = static_cast<UINT_PTR>(button.idCommand);
        tool.lpszText = tip;
        ::SendMessageW(tips, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
        view.tip = tip;
    }
    return view;
}

void ClickButton(HWND toolbar, int index) {
    RECT rect{};
    ::SendMessageW(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
    const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    ::SendMessageW(toolbar, WM_MOUSEMOVE, 0, point);
    ::SendMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::SendMessageW(toolbar, WM_LBUTTONUP, 0, point);
    PumpMessages();
}

std::wstring ResourceLibraryString(UINT id) {
    HMODULE library = ::LoadLibraryExW(L"VNLBIN3.DLL", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    wchar_t text[300] = {};
    if (library) {
        ::LoadStringW(library, id, text, 299);
        ::FreeLibrary(library);
    }
    return text;
}

std::vector<ProtectionCall> ProtectionCalls() {
    std::vector<ProtectionCall> calls;
    bench::DriverControl control;
    for (const auto& entry : control.ReadLog()) {
        if (entry.operation == vnl::VNL_OP_PROTECT_ON) calls.push_back({true, entry.callerValue});
        if (entry.operation == vnl::VNL_OP_PROTECT_OFF) calls.push_back({false, entry.callerValue});
    }
    return calls;
}

bool ResetDriverLog() {
    bench::DriverControl control;
    return control.IsOpen() && control.Reset();
}

}  // namespace bandtest
