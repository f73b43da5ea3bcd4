// The module's resource instance: the handle from which this module loads its
// dialog templates, menus, bitmaps and strings. At load it is the module itself;
// a resource scope may switch it to a resource library for a while.
// Each module that links the framework has its own copy of this state.
#pragma once

#include <windows.h>

namespace vnl {

// Records the module's own handle; call once from DllMain / WinMain.
void InitModuleInstance(HINSTANCE module) noexcept;

// The module's own handle (as recorded by InitModuleInstance, else the EXE).
HINSTANCE ModuleInstance() noexcept;

// The current resource instance.
HINSTANCE ResourceInstance() noexcept;

// Makes `next` the resource instance with an interlocked exchange and returns
// the one it replaced.
HINSTANCE ExchangeResourceInstance(HINSTANCE next) noexcept;

// Counted switches to a resource library, for scopes that may be open on
// several threads at once (dialogs and warnings on their own threads): the
// first open switch makes `library` the resource instance and keeps what it
// replaced; later ones only count (and make sure `library` is the instance);
// the last one to end restores what the first found. Every switch of the
// module names the same library. Each BeginResourceSwitch is matched by one
// EndResourceSwitch.
void BeginResourceSwitch(HINSTANCE library) noexcept;
void EndResourceSwitch() noexcept;

}  // namespace vnl
