#include "ComModule.h"

#include "ComObject.h"
#include "ErrorMacros.h"
#include "ResourceInstance.h"

namespace vnl {
namespace {

struct ModuleState {
    HINSTANCE instance = nullptr;
    std::span<const ClassEntry> classes;
    const GUID* libid = nullptr;
};
ModuleState g_module;
LONG volatile g_lockCount = 0;

// The one class factory: makes objects of one class-table row.
class ClassFactory : public ComObjectRoot, public IClassFactory {
public:
    explicit ClassFactory(CreatorFunction create) noexcept : create_(create) {}

    VNL_BEGIN_INTERFACE_MAP(ClassFactory)
        VNL_INTERFACE_ENTRY(IClassFactory)
    VNL_END_INTERFACE_MAP()

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) noexcept override {
        if (lock) {
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }

private:
    CreatorFunction create_;
};

using FactoryObject = ComObject<ClassFactory, false>;

}  // namespace

void LockModule() noexcept { ::InterlockedIncrement(&g_lockCount); }
void UnlockModule() noexcept { ::InterlockedDecrement(&g_lockCount); }
LONG ModuleLockCount() noexcept { return ::InterlockedCompareExchange(&g_lockCount, 0, 0); }

void InitComModule(HINSTANCE instance, std::span<const ClassEntry> classes, const GUID* libid) noexcept {
    g_module.instance = instance;
    g_module.classes = classes;
    g_module.libid = libid;
    InitModuleInstance(instance);
}

void TermComModule() noexcept {
    g_module.classes = {};
    g_module.libid = nullptr;
}

HINSTANCE ComModuleInstance() noexcept { return g_module.instance ? g_module.instance : ModuleInstance(); }
const GUID* ComModuleLibId() noexcept { return g_module.libid; }
std::span<const ClassEntry> ComModuleClasses() noexcept { return g_module.classes; }

HRESULT CanUnloadModule() noexcept { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT GetModuleClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const ClassEntry& entry : g_module.classes) {
        if (!entry.clsid || !entry.create || !::IsEqualCLSID(clsid, *entry.clsid)) continue;
        FactoryObject* factory = nullptr;
        RETURN_IF_FAILED(FactoryObject::CreateInstance(&factory, entry.create));
        HRESULT hr = factory->QueryInterface(iid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace vnl
