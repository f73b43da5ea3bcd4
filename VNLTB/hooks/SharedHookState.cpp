#include "SharedHookState.h"

namespace vnl {
namespace {

// A section of its own, named so that the linker's default script keeps it as
// a separate output section ("shared" survives only on a section that is not
// merged into .data). The attribute needs initialised data: uninitialised data
// would go to .bss, which is never shared. The section flags are what the
// loader reads, so the record is shared whether this file is compiled into the
// module directly or pulled from a static library.
__attribute__((section(".vnlshr"), shared))
SharedHookState g_sharedHookState = {nullptr, 0};

}  // namespace

SharedHookState& ModuleSharedHookState() noexcept { return g_sharedHookState; }

}  // namespace vnl
