// A tiny COM server built on the framework, registered with regsvr32 and
// created through CoCreateInstance by the framework tests.
#include <windows.h>
#include <ocidl.h>

#include "ComModule.h"
#include "ComObject.h"
#include "DispatchImpl.h"
#include "FrameworkTestServer.h"
#include "Registrar.h"

namespace {

constexpr UINT kWidgetScript = 101;

class CTestWidget : public vnl::ComObjectRoot,
                    public vnl::DispatchImpl<ITestWidget>,
                    public ITestGadget,
                    public IPersist {
public:
    VNL_BEGIN_INTERFACE_MAP(CTestWidget)
        VNL_INTERFACE_ENTRY(ITestWidget)
        VNL_INTERFACE_ENTRY2(IDispatch, ITestWidget)
        VNL_INTERFACE_ENTRY(ITestGadget)
        VNL_INTERFACE_ENTRY(IPersist)
    VNL_END_INTERFACE_MAP()

    // ITestWidget
    STDMETHODIMP Ping(LONG value, LONG* result) noexcept override {
        if (!result) return E_POINTER;
        *result = value + 1;
        return S_OK;
    }
    STDMETHODIMP get_Level(LONG* level) noexcept override {
        if (!level) return E_POINTER;
        *level = 42;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) noexcept override {
        if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (!params) return E_INVALIDARG;
        LONG value = 0;
        HRESULT hr = DISP_E_MEMBERNOTFOUND;
        if (id == 1 && (flags & DISPATCH_METHOD)) {
            if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            VARIANT argument;
            ::VariantInit(&argument);
            hr = ::VariantChangeType(&argument, &params->rgvarg[0], 0, VT_I4);
            if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
            hr = Ping(V_I4(&argument), &value);
        } else if (id == 2 && (flags & DISPATCH_PROPERTYGET)) {
            hr = get_Level(&value);
        }
        if (SUCCEEDED(hr) && result) {
            ::VariantInit(result);
            V_VT(result) = VT_I4;
            V_I4(result) = value;
        }
        return hr;
    }

    // ITestGadget
    STDMETHODIMP ModuleLockCount(LONG* count) noexcept override {
        if (!count) return E_POINTER;
        *count = vnl::ModuleLockCount();
        return S_OK;
    }

    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) noexcept override {
        if (!clsid) return E_POINTER;
        *clsid = CLSID_TestWidget;
        return S_OK;
    }
};

// A second class of the table: only reached through DllGetClassObject.
class CTestPlain : public vnl::ComObjectRoot, public ITestGadget, public IPersist {
public:
    VNL_BEGIN_INTERFACE_MAP(CTestPlain)
        VNL_INTERFACE_ENTRY(ITestGadget)
        VNL_INTERFACE_ENTRY(IPersist)
    VNL_END_INTERFACE_MAP()

    STDMETHODIMP ModuleLockCount(LONG* count) noexcept override {
        if (!count) return E_POINTER;
        *count = vnl::ModuleLockCount();
        return S_OK;
    }
    STDMETHODIMP GetClassID(CLSID* clsid) noexcept override {
        if (!clsid) return E_POINTER;
        *clsid = CLSID_TestPlain;
        return S_OK;
    }
};

const vnl::ClassEntry kClasses[] = {
    {&CLSID_TestWidget, &vnl::ComObject<CTestWidget>::CreateInstance, kWidgetScript},
    {&CLSID_TestPlain, &vnl::ComObject<CTestPlain>::CreateInstance, 0},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) noexcept {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        vnl::InitComModule(instance, kClasses, &LIBID_FrameworkTestLib);
    } else if (reason == DLL_PROCESS_DETACH) {
        vnl::TermComModule();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) { return vnl::GetModuleClassObject(clsid, iid, out); }
STDAPI DllCanUnloadNow() { return vnl::CanUnloadModule(); }
STDAPI DllRegisterServer() { return vnl::RegisterModuleServer(); }
STDAPI DllUnregisterServer() { return vnl::UnregisterModuleServer(); }
