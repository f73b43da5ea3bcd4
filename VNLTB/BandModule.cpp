// The band module: its entry point, the COM server exports and the install
// entry point that shows the toolbar once in a hidden browser.
#include <windows.h>
#include <exdisp.h>
#include <objbase.h>

#include <cstdint>
#include <cstring>

#include "BandResources.h"
#include "ComModule.h"
#include "ComPtr.h"
#include "DriverChannel.h"
#include "Registrar.h"
#include "SettingsStore.h"
#include "TOOLBAND.h"
#include "ToolBandObj.h"
#include "TrayEvent.h"
#include "UniqueAny.h"
#include "WindowImpl.h"

namespace {

// The value protection-off carries, in place of a window, when the module leaves a process.
constexpr std::uint32_t kModuleDetachCaller = 0xFF7018C3;

const CLSID kInternetExplorerApp = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr const char* kClassKey = "CLSID\\{CB7DC2DA-D8C9-4004-8548-1E24AA7D46DE}";
constexpr const wchar_t* kClassIdText = L"{CB7DC2DA-D8C9-4004-8548-1E24AA7D46DE}";

const vnl::ClassEntry kClasses[] = {
    {&vnl::CLSID_VNLToolBandObj, &vnl::ComObject<vnl::CToolBandObj>::CreateInstance, IDR_VNLTOOLBAND},
};

bool g_attached = false;

// True when the process's main program is the system shell, in any letter case.
bool InSystemShell() noexcept {
    char path[260] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
    const char* slash = std::strrchr(path, '\\');
    const char* name = slash ? slash + 1 : path;
    return ::lstrcmpiA(name, "explorer.exe") == 0;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) noexcept {
    try {
        if (reason == DLL_PROCESS_ATTACH) {
            vnl::InitComModule(instance, kClasses, &LIBID_TOOLBANDLib);
            ::DisableThreadLibraryCalls(instance);
            if (InSystemShell()) {
                vnl::TermComModule();
                return FALSE;
            }
            g_attached = true;
        } else if (reason == DLL_PROCESS_DETACH && g_attached) {
            g_attached = false;
            if (!vnl::IsTrayEventSignalled()) vnl::SetDriverProtection(0, kModuleDetachCaller);
            vnl::CloseDriverChannel();
            // On FreeLibrary (not at process end) no class may outlive its procedure.
            if (!reserved) vnl::UnregisterModuleWindowClasses();
            vnl::TermComModule();
        }
    } catch (...) {
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return vnl::GetModuleClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return vnl::CanUnloadModule(); }

STDAPI DllRegisterServer() {
    try {
        // The name under which the browser lists the toolbar; empty when the
        // resource library cannot be loaded.
        char name[260] = {};
        if (HMODULE library = vnl::LoadResourceModule()) ::LoadStringA(library, IDS_BAND_PRODUCT_NAME, name, 259);
        vnl::UniqueRegKey key;
        if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr) == ERROR_SUCCESS) {
            ::RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                             static_cast<DWORD>(std::strlen(name) + 1));
        }
        return vnl::RegisterModuleServer();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDAPI DllUnregisterServer() { return vnl::UnregisterModuleServer(); }

STDAPI DllInstall(BOOL, LPCWSTR) {
    try {
        const HRESULT init = ::CoInitialize(nullptr);
        {
            vnl::ComPtr<IWebBrowser2> browser;
            if (SUCCEEDED(::CoCreateInstance(kInternetExplorerApp, nullptr, CLSCTX_LOCAL_SERVER, IID_IWebBrowser2,
                                             browser.put_void()))) {
                browser->put_Visible(VARIANT_FALSE);
                VARIANT classId, show, size;
                ::VariantInit(&classId);
                ::VariantInit(&show);
                ::VariantInit(&size);
                V_VT(&classId) = VT_BSTR;
                V_BSTR(&classId) = ::SysAllocString(kClassIdText);
                V_VT(&show) = VT_BOOL;
                V_BOOL(&show) = VARIANT_TRUE;
                browser->ShowBrowserBar(&classId, &show, &size);
                ::VariantClear(&classId);
                browser->Quit();
            }
        }
        if (SUCCEEDED(init)) ::CoUninitialize();
    } catch (...) {
    }
    return S_OK;
}
