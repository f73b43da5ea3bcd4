// The hook values every browser process shares: they live in a data section of
// the band module with the shared attribute, so each process that loads the
// module sees and changes the same two values.
#pragma once

#include <windows.h>

namespace vnl {

struct SharedHookState {
    // The system-wide shell hook, installed by whichever process installed
    // last; null when none is installed.
    HHOOK volatile shellHook;
    // Installs minus removals, across all processes.
    LONG volatile installCount;
};

// The module's shared record. Change it only with interlocked operations:
// several processes update it at once.
SharedHookState& ModuleSharedHookState() noexcept;

}  // namespace vnl
