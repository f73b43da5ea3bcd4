// The browser's writable-hive call. A protected-mode browser may not write the
// user's hive directly; it is given a per-user root of its own that it may
// write, which this stand-in keeps under HKCU like the browser does.
#include <windows.h>

namespace {
constexpr const char* kWritableRoot = "Software\\Microsoft\\Internet Explorer\\LowRegistry";
}

// Returns S_OK and an open key on the writable root (the caller closes it), or
// an error HRESULT and no key.
extern "C" HRESULT WINAPI IEGetWriteableHKCU(HKEY* root) noexcept {
    if (!root) return E_POINTER;
    *root = nullptr;
    LONG rc = ::RegCreateKeyExA(HKEY_CURRENT_USER, kWritableRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root,
                                nullptr);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
