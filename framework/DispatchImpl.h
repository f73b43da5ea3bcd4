// IDispatch over the type library embedded in the module (TYPELIB 1):
// GetTypeInfoCount, GetTypeInfo and GetIDsOfNames come from the real type
// library; Invoke is the class's own.
//
// Usage:
//   class CWidget : public vnl::ComObjectRoot, public vnl::DispatchImpl<IWidget> {
//       VNL_BEGIN_INTERFACE_MAP(CWidget)
//           VNL_INTERFACE_ENTRY(IWidget)
//           VNL_INTERFACE_ENTRY2(IDispatch, IWidget)
//       VNL_END_INTERFACE_MAP()
//       STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override;
//   };
//
// The type information of `Itf` (by its __uuidof) is loaded from the module
// that the module object names (ComModule.h) at the first call that needs it,
// and kept by the object.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "ComModule.h"
#include "ComPtr.h"
#include "TypeLibrary.h"

namespace vnl {

template <typename Itf>
class DispatchImpl : public Itf {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }

    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        HRESULT hr = LoadTypeInfo();
        if (FAILED(hr)) return hr;
        typeInfo_->AddRef();
        *out = typeInfo_.get();
        return S_OK;
    }

    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (!names || !ids) return E_POINTER;
        HRESULT hr = LoadTypeInfo();
        if (FAILED(hr)) return hr;
        return typeInfo_->GetIDsOfNames(names, count, ids);
    }

protected:
    DispatchImpl() noexcept = default;
    ~DispatchImpl() = default;

    // The type information of Itf, loaded once.
    HRESULT LoadTypeInfo() noexcept {
        if (typeInfo_) return S_OK;
        ComPtr<ITypeLib> library;
        HRESULT hr = LoadModuleTypeLibrary(ComModuleInstance(), library.put());
        if (FAILED(hr)) return hr;
        return library->GetTypeInfoOfGuid(__uuidof(Itf), typeInfo_.put());
    }

    ComPtr<ITypeInfo> typeInfo_;
};

}  // namespace vnl
