// Loads the band module into a process of its own.
//   band_probe.exe load DLL     exit 0 when the module loads, 3 when it refuses
//   band_probe.exe detach DLL   makes one band on a mock site through the
//                               module's class object, closes it and unloads
//                               the module; exit 0 when every step worked
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>

#include "ComPtr.h"
#include "MockSite.h"

namespace {

const CLSID kBandClass = {0xCB7DC2DA, 0xD8C9, 0x4004, {0x85, 0x48, 0x1E, 0x24, 0xAA, 0x7D, 0x46, 0xDE}};

int Detach(HMODULE module) {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
    if (!get) return 4;
    {
        vnl::ComPtr<IClassFactory> factory;
        if (FAILED(get(kBandClass, IID_IClassFactory, factory.put_void()))) return 5;
        vnl::ComPtr<IObjectWithSite> band;
        if (FAILED(factory->CreateInstance(nullptr, IID_IObjectWithSite, band.put_void()))) return 6;
        bandtest::BrowserWindow window;
        bandtest::SiteHandle site = window.MakeSite();
        if (FAILED(band->SetSite(site.site.get()))) return 7;
        vnl::ComPtr<IDeskBand> deskBand;
        if (FAILED(band.query_to(deskBand))) return 8;
        deskBand->CloseDW(0);
        band->SetSite(nullptr);
    }
    bandtest::PumpMessages();
    return ::FreeLibrary(module) ? 0 : 9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: band_probe.exe load|detach DLL\n");
        return 2;
    }
    ::OleInitialize(nullptr);
    HMODULE module = ::LoadLibraryExA(argv[2], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        std::printf("refused %lu\n", ::GetLastError());
        return 3;
    }
    std::printf("loaded\n");
    if (!std::strcmp(argv[1], "detach")) return Detach(module);
    return 0;
}
