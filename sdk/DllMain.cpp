// Start-up of VNLBIN1: the module records its own handle, which stays its
// resource instance until a resource scope switches it for a while. The
// resource library is not loaded here.
#include <windows.h>

#include "ResourceInstance.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) noexcept {
    if (reason == DLL_PROCESS_ATTACH) {
        vnl::InitModuleInstance(module);
        ::DisableThreadLibraryCalls(module);
    }
    return TRUE;
}
