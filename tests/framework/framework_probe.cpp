// What the framework tests watch from outside, in this process's Wine trace.
//   framework_probe.exe [--target TARGET] [--text TEXT]
//     Shows a dialog with a hyperlink (its shell executions appear in the
//     trace). --text replaces the template control's text before the link
//     takes it over; --target sets the link's target. At the end prints the
//     link text, the target and the tooltip's text, one "name=value" line
//     each, and exits with the dialog's result.
//   framework_probe.exe --query-miss
//     Asks an object for an interface it does not have (IOleWindow); the COM
//     trace, when switched on, reports the miss. Exits with 0 when the object
//     refused it.
#include <windows.h>
#include <commctrl.h>
#include <oleidl.h>

#include <cstdio>
#include <string>

#include "ComObject.h"
#include "DialogImpl.h"
#include "FrameworkTestResources.h"
#include "HyperLink.h"

namespace {

std::wstring g_target, g_text;
bool g_hasText = false;

std::string Narrow(const std::wstring& text) {
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

class LinkDialog : public vnl::DialogImpl<LinkDialog> {
public:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) {
        switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_COMMAND: return OnCommand(LOWORD(wParam));
        default: return FALSE;
        }
    }

    std::wstring tip;
    vnl::HyperLink link;

private:
    INT_PTR OnInitDialog() {
        if (g_hasText) ::SetDlgItemTextW(Handle(), IDC_TEST_LINK, g_text.c_str());
        if (!g_target.empty()) link.SetTarget(g_target);
        link.SubclassWindow(Item(IDC_TEST_LINK));
        return TRUE;
    }
    INT_PTR OnCommand(UINT id) {
        if (id != IDCANCEL) return FALSE;
        wchar_t text[1024] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(link.Handle());
        tool.lpszText = text;
        ::SendMessageW(link.ToolTip(), TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
        tip = text;
        EndDialog(IDCANCEL);
        return TRUE;
    }
};

class ProbeObject : public vnl::ComObjectRoot, public IPersist {
public:
    VNL_BEGIN_INTERFACE_MAP(ProbeObject)
        VNL_INTERFACE_ENTRY(IPersist)
    VNL_END_INTERFACE_MAP()
    STDMETHODIMP GetClassID(CLSID*) noexcept override { return E_NOTIMPL; }
};

int QueryMiss() {
    vnl::ComObject<ProbeObject>* object = nullptr;
    if (FAILED(vnl::ComObject<ProbeObject>::CreateInstance(&object))) return 2;
    void* out = nullptr;
    HRESULT hr = object->QueryInterface(IID_IOleWindow, &out);
    object->Release();
    return (hr == E_NOINTERFACE && !out) ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc == 2 && std::wstring(argv[1]) == L"--query-miss") return QueryMiss();
    for (int i = 1; i + 1 < argc; i += 2) {
        std::wstring name = argv[i];
        if (name == L"--target") g_target = argv[i + 1];
        if (name == L"--text") {
            g_text = argv[i + 1];
            g_hasText = true;
        }
    }
    vnl::InitModuleInstance(instance);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    LinkDialog dialog;
    INT_PTR result = dialog.DoModal(instance, IDD_LINK_TEST);
    std::printf("text=%s\ntarget=%s\ntip=%s\nvisited=%d\n", Narrow(dialog.link.LinkText()).c_str(),
                Narrow(dialog.link.Target()).c_str(), Narrow(dialog.tip).c_str(), dialog.link.Visited() ? 1 : 0);
    std::fflush(stdout);
    return static_cast<int>(result);
}
