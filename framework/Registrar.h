// Applies registry scripts (the format is in RegistryScript.h) and registers
// a COM server: its scripts and its embedded type library.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <string_view>

#include "RegistryScript.h"

namespace vnl {

enum class RegistryScriptMode {
    // Creates keys and values; ForceRemove keys are deleted first, Delete keys deleted.
    Register,
    // Deletes what the script adds: keys not marked NoRemove with everything
    // under them (deepest first), and the values the script gives to the
    // NoRemove keys it keeps. A key that is not marked but holds a NoRemove
    // key of the script is kept while anything is left in it.
    Unregister,
};

// The failure for script text that does not parse (nothing has been written).
inline constexpr HRESULT VNL_E_REGISTRY_SCRIPT_SYNTAX = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0201);

// Applies the script resource `resourceId` of type "REGISTRY" in `module`.
// %MODULE% is the module's full path; `extra` adds further replacements. The
// resource may be 8-bit text (UTF-8, else the ANSI code page) or UTF-16 with
// its byte-order mark. Results: S_OK; HRESULT_FROM_WIN32(ERROR_RESOURCE_...)
// when the resource is missing; VNL_E_REGISTRY_SCRIPT_SYNTAX for bad text
// (the reason goes to the COM trace, ComObject.h); otherwise the first
// registry failure as an HRESULT. A syntax error writes nothing; a registry
// failure during registration stops there, during unregistration the rest is
// still removed.
HRESULT ApplyRegistryScript(HMODULE module, UINT resourceId, RegistryScriptMode mode,
                            std::span<const regscript::Replacement> extra = {}) noexcept;

// The same for script text (UTF-8) given directly.
HRESULT ApplyRegistryScriptText(std::string_view text, RegistryScriptMode mode,
                                std::span<const regscript::Replacement> replacements = {}) noexcept;

// For DllRegisterServer: applies every class's registry script of the module
// object (ComModule.h) in register mode, then registers the embedded type
// library when the module object names one. Stops at the first failure.
HRESULT RegisterModuleServer() noexcept;

// For DllUnregisterServer: every script in unregister mode, then the type
// library. Goes on after a failure, so that as much as possible is removed,
// and returns the first failure.
HRESULT UnregisterModuleServer() noexcept;

}  // namespace vnl
