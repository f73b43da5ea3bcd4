// The type library embedded in a module as resource TYPELIB 1.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace vnl {

// Loads the module's embedded type library without registering it.
HRESULT LoadModuleTypeLibrary(HMODULE module, ITypeLib** out) noexcept;

// Registers it with the system (RegisterTypeLib with the module's path), which
// writes the TypeLib key and the Interface keys of its interfaces.
HRESULT RegisterModuleTypeLibrary(HMODULE module) noexcept;

// Removes that registration (UnRegisterTypeLib for the library's id, version,
// locale and system kind). A library that is not registered counts as removed.
HRESULT UnregisterModuleTypeLibrary(HMODULE module) noexcept;

// The module's full path; empty on failure.
std::wstring ModulePath(HMODULE module);

}  // namespace vnl
