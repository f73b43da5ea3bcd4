// The module object of a COM server: its instance, its lock count and its
// class-object table, and the helpers behind the server's exports.
//
// Usage, in a server DLL:
//
//   const vnl::ClassEntry kClasses[] = {
//       {&CLSID_Widget, &vnl::ComObject<CWidget>::CreateInstance, IDR_WIDGET_REGISTRY},
//   };
//   BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) noexcept {
//       if (reason == DLL_PROCESS_ATTACH) vnl::InitComModule(instance, kClasses, &LIBID_WidgetLib);
//       if (reason == DLL_PROCESS_DETACH) vnl::TermComModule();
//       return TRUE;
//   }
//   STDAPI DllGetClassObject(REFCLSID c, REFIID i, void** o) { return vnl::GetModuleClassObject(c, i, o); }
//   STDAPI DllCanUnloadNow() { return vnl::CanUnloadModule(); }
//   STDAPI DllRegisterServer() { return vnl::RegisterModuleServer(); }      // Registrar.h
//   STDAPI DllUnregisterServer() { return vnl::UnregisterModuleServer(); }  // Registrar.h
//
// Each module that links the framework has its own module object (the library
// is static). The lock count is the number of live objects made through
// ComObject<T> plus the LockServer(TRUE) calls not yet matched.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <span>

namespace vnl {

// Makes an object of one class and asks it for `iid`; `*out` is null on failure.
using CreatorFunction = HRESULT (*)(REFIID iid, void** out) noexcept;

// One row of the class-object table.
struct ClassEntry {
    const CLSID* clsid;
    CreatorFunction create;
    UINT registryScript;  // resource id of type "REGISTRY"; 0 for none
};

// Records the module instance (also as the resource instance, ResourceInstance.h),
// the class table (kept by reference: it must outlive the module object, as a
// static array does) and the id of the embedded type library (TYPELIB 1), or
// null when the module has none to register.
void InitComModule(HINSTANCE instance, std::span<const ClassEntry> classes, const GUID* libid = nullptr) noexcept;

template <std::size_t N>
void InitComModule(HINSTANCE instance, const ClassEntry (&classes)[N], const GUID* libid = nullptr) noexcept {
    InitComModule(instance, std::span<const ClassEntry>(classes, N), libid);
}

// Forgets the class table. The lock count is left as it is.
void TermComModule() noexcept;

HINSTANCE ComModuleInstance() noexcept;
const GUID* ComModuleLibId() noexcept;
std::span<const ClassEntry> ComModuleClasses() noexcept;

// LockModule/UnlockModule (ComObject.h) raise and lower it.
LONG ModuleLockCount() noexcept;

// For DllCanUnloadNow: S_OK when the lock count is 0, otherwise S_FALSE.
HRESULT CanUnloadModule() noexcept;

// For DllGetClassObject: a class factory for `clsid` from the class table,
// asked for `iid`. CLASS_E_CLASSNOTAVAILABLE for a class id not in the table,
// E_POINTER without `out`; `*out` is nulled first.
// The factory's CreateInstance refuses aggregation (CLASS_E_NOAGGREGATION);
// its LockServer raises and lowers the module's lock count. A factory does not
// itself hold the module: COM may keep one cached.
HRESULT GetModuleClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;

}  // namespace vnl
