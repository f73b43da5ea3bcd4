#include "TypeLibrary.h"

#include "ComPtr.h"
#include "ErrorMacros.h"

namespace vnl {

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

HRESULT LoadModuleTypeLibrary(HMODULE module, ITypeLib** out) noexcept try {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::wstring path = ModulePath(module);
    if (path.empty()) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, out);
} catch (...) {
    return E_OUTOFMEMORY;
}

HRESULT RegisterModuleTypeLibrary(HMODULE module) noexcept try {
    ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(LoadModuleTypeLibrary(module, library.put()));
    std::wstring path = ModulePath(module);
    return ::RegisterTypeLib(library.get(), path.data(), nullptr);
} catch (...) {
    return E_OUTOFMEMORY;
}

HRESULT UnregisterModuleTypeLibrary(HMODULE module) noexcept {
    ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(LoadModuleTypeLibrary(module, library.put()));
    TLIBATTR* attributes = nullptr;
    RETURN_IF_FAILED(library->GetLibAttr(&attributes));
    TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    // Nothing registered: nothing to remove. (UnRegisterTypeLib itself would
    // fail, and not with the same result everywhere.)
    BSTR registeredPath = nullptr;
    if (FAILED(::QueryPathOfRegTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, &registeredPath))) {
        return S_OK;
    }
    ::SysFreeString(registeredPath);
    return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

}  // namespace vnl
