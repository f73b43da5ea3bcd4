// hooks_band.dll: the band module as far as the hooks are concerned. It carries
// the whole of the hook machinery, as VNLTB.dll does, so that its shared hook
// record is a section of a DLL loaded into several processes. The test
// programs import the machinery's functions from it and play the band's part
// through BandHookSite.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) noexcept {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(module);
    return TRUE;
}
