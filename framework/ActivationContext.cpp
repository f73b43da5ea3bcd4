#include "ActivationContext.h"

#include <string>

#include "TypeLibrary.h"

namespace vnl {

HRESULT ActivationContext::Create(HMODULE module, UINT resourceId) noexcept try {
    context_.reset();
    std::wstring path = ModulePath(module);
    if (path.empty()) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.hModule = module;
    request.lpResourceName = MAKEINTRESOURCEW(resourceId);
    HANDLE context = ::CreateActCtxW(&request);
    if (context == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        return HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    context_.reset(context);
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

ActivationScope::ActivationScope(const ActivationContext& context) noexcept {
    if (context.Valid()) active_ = ::ActivateActCtx(context.Get(), &cookie_) != FALSE;
}

ActivationScope::~ActivationScope() {
    if (active_) ::DeactivateActCtx(0, cookie_);
}

}  // namespace vnl
