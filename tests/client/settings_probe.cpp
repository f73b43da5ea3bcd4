// Runs one settings-store call in a process of its own, so that a test can give
// it a per-program Windows version or DLL override (Wine reads those at start).
//   settings_probe user-key   opens the per-user settings key and writes the
//                             DWORD "ProbeMarker" = 1 into it; prints "key" or "no-key"
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "SettingsStore.h"
#include "UniqueAny.h"

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "user-key") != 0) {
        std::fprintf(stderr, "usage: settings_probe user-key\n");
        return 2;
    }
    vnl::UniqueRegKey key(vnl::OpenUserSettingsKey());
    if (!key) {
        std::printf("no-key\n");
        return 0;
    }
    DWORD one = 1;
    LONG rc = ::RegSetValueExA(key.get(), "ProbeMarker", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), sizeof(one));
    std::printf(rc == ERROR_SUCCESS ? "key\n" : "key-not-writable\n");
    return 0;
}
