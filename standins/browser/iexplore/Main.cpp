// iexplore.exe: the stand-in browser program. The name matters: the hook
// library tells the browser's process by it.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BrowserApp.h"
#include "BrowserApplication.h"
#include "ComModule.h"
#include "ComPtr.h"
#include "RequestChannel.h"

namespace {

constexpr const char* kUsage =
    "usage: iexplore.exe [--root FOLDER] [--tabs N] [--channel NAME] [--no-bands] [--hidden] [ADDRESS]\n"
    "\n"
    "The stand-in browser. Opens ADDRESS (http://HOST/PATH is read from FOLDER\\HOST\\PATH,\n"
    "file:///C:/... and C:\\... from the disk, about:blank) in a frame window with N tabs,\n"
    "each on its own thread with its own page pane, browser object and bands. Every band\n"
    "listed under HKLM\\Software\\Microsoft\\Internet Explorer\\Toolbar is loaded into each tab.\n"
    "\n"
    "  --root FOLDER    page root (default: the folder \"pages\" beside this program)\n"
    "  --tabs N         tabs in the first window (default 1)\n"
    "  --channel NAME   serve requests on \\\\.\\pipe\\NAME (default VarnelBrowser.<process id>)\n"
    "  --no-bands       load no bands\n"
    "  --hidden         start with the window hidden\n"
    "  --help           this text\n"
    "\n"
    "Started by COM with -Embedding, it serves the browser application object\n"
    "{0002DF01-0000-0000-C000-000000000046}: each instance a new window, hidden until\n"
    "made visible, with ShowBrowserBar, Navigate2 and Quit.\n";

const vnl::ClassEntry kClasses[] = {
    {&vnl::browser::kClsidInternetExplorer, &vnl::browser::CBrowserApplication::Create, 0},
};

// In -Embedding mode: ends the program when no window was asked for in time.
VOID CALLBACK NoClientTimer(HWND, UINT, UINT_PTR, DWORD) noexcept {}

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    const size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : p.substr(0, slash);
}

void PrintUsage() {
    // A console program started from a console writes there; otherwise a box.
    std::fputs(kUsage, stdout);
    std::fflush(stdout);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    ::LocalFree(argv);

    vnl::browser::AppOptions options;
    options.pageRoot = ExeFolder() + L"\\pages";
    std::wstring address = L"about:blank";
    std::wstring channel = vnl::browser::RequestChannel::DefaultName();
    int tabs = 1;
    bool visible = true;
    bool embedding = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        auto next = [&]() -> const std::wstring* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (a == L"--help" || a == L"-h" || a == L"/?") {
            PrintUsage();
            return 0;
        } else if (a == L"--root") {
            const std::wstring* v = next();
            if (!v) { std::fputs("iexplore: --root needs a folder\n", stderr); return 2; }
            options.pageRoot = *v;
        } else if (a == L"--tabs") {
            const std::wstring* v = next();
            tabs = v ? _wtoi(v->c_str()) : 0;
            if (tabs < 1 || tabs > 32) { std::fputs("iexplore: --tabs needs a number from 1 to 32\n", stderr); return 2; }
        } else if (a == L"--channel") {
            const std::wstring* v = next();
            if (!v || v->empty()) { std::fputs("iexplore: --channel needs a name\n", stderr); return 2; }
            channel = *v;
        } else if (a == L"-Embedding" || a == L"/Embedding" || a == L"-embedding" || a == L"/embedding" ||
                   a == L"-Automation" || a == L"/Automation") {
            embedding = true;
        } else if (a == L"--no-bands") {
            options.loadBands = false;
        } else if (a == L"--hidden") {
            visible = false;
        } else if (!a.empty() && a[0] == L'-' && a != L"-") {
            std::fprintf(stderr, "iexplore: unknown option %ls\n%s", a.c_str(), kUsage);
            return 2;
        } else {
            address = a;
        }
    }

    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int result = 0;
    {
        vnl::browser::BrowserApp app(options);
        vnl::browser::RequestChannel requests(channel, app.MessageWindow());
        if (embedding) {
            // The browser application's class object; the windows come with its instances.
            vnl::InitComModule(::GetModuleHandleW(nullptr), kClasses);
            vnl::browser::CBrowserApplication::SetApp(&app);
            vnl::ComPtr<IUnknown> factory;
            DWORD cookie = 0;
            HRESULT hr = vnl::GetModuleClassObject(vnl::browser::kClsidInternetExplorer, IID_IUnknown, factory.put_void());
            if (SUCCEEDED(hr))
                hr = ::CoRegisterClassObject(vnl::browser::kClsidInternetExplorer, factory.get(), CLSCTX_LOCAL_SERVER,
                                             REGCLS_MULTIPLEUSE, &cookie);
            if (FAILED(hr)) {
                std::fprintf(stderr, "iexplore: the class object cannot be registered (0x%08lX)\n",
                             static_cast<unsigned long>(hr));
                result = 1;
            } else {
                // Ends when the last window closes, or after a minute when no client asked for one.
                const UINT_PTR timer = ::SetTimer(nullptr, 0, 60000, NoClientTimer);
                MSG message;
                while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
                    if (message.message == WM_TIMER && message.wParam == timer) {
                        ::KillTimer(nullptr, timer);
                        if (app.FrameCount() == 0) break;
                        continue;
                    }
                    ::TranslateMessage(&message);
                    ::DispatchMessageW(&message);
                }
                ::CoRevokeClassObject(cookie);
            }
            vnl::browser::CBrowserApplication::SetApp(nullptr);
        } else if (app.OpenWindow(address, tabs, visible) < 0) {
            std::fputs("iexplore: the browser window cannot be made\n", stderr);
            result = 1;
        } else {
            result = app.Run();
        }
    }
    ::CoUninitialize();
    return result;
}
