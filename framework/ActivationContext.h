// The activation context built from a module's manifest resource 2, so that
// windows created inside it use the version-6 common controls the manifest
// names (the band inside a browser whose own manifest does not).
//
// Usage:
//   vnl::ActivationContext context;
//   context.Create(module);                   // once, e.g. at the first band
//   {
//       vnl::ActivationScope scope(context);  // active on this thread until the scope ends
//       ... register window classes, create windows, load libraries ...
//   }
#pragma once

#include <windows.h>

#include "UniqueAny.h"

namespace vnl {

struct ActCtxTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::ReleaseActCtx(h); }
};
using UniqueActCtx = UniqueAny<ActCtxTraits>;

class ActivationContext {
public:
    // Builds the context from manifest resource `resourceId` (2, the one for
    // a DLL's own use) of `module`, with ACTCTX_FLAG_HMODULE_VALID |
    // ACTCTX_FLAG_RESOURCE_NAME_VALID. S_OK, or the system's failure as an
    // HRESULT (a module without that manifest among them); a context held
    // before is released either way.
    HRESULT Create(HMODULE module, UINT resourceId = 2) noexcept;

    HANDLE Get() const noexcept { return context_.get(); }
    bool Valid() const noexcept { return context_.valid(); }

private:
    UniqueActCtx context_;
};

// Activates a context on the calling thread for the scope's lifetime. With
// no valid context it does nothing (windows then get the process's default
// controls), so callers need not test first.
class ActivationScope {
public:
    explicit ActivationScope(const ActivationContext& context) noexcept;
    ~ActivationScope();
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

    bool Active() const noexcept { return active_; }

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

}  // namespace vnl
