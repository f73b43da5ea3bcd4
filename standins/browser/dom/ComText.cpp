#include "ComText.h"

namespace vnl::browser {

HRESULT ReturnBstr(std::wstring_view text, BSTR* out) noexcept {
    if (!out) return E_POINTER;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::wstring FromBstr(BSTR text) {
    return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

const VARIANT& Deref(const VARIANT& value) {
    if (value.vt == (VT_BYREF | VT_VARIANT) && value.pvarVal) return *value.pvarVal;
    return value;
}

bool VariantIsNull(const VARIANT& value) {
    const VARIANT& v = Deref(value);
    return v.vt == VT_NULL || v.vt == VT_EMPTY;
}

std::wstring VariantText(const VARIANT& value) {
    const VARIANT& v = Deref(value);
    if (v.vt == VT_BSTR) return FromBstr(v.bstrVal);
    if (v.vt == VT_EMPTY || v.vt == VT_NULL) return {};
    VARIANT copy;
    ::VariantInit(&copy);
    std::wstring out;
    if (SUCCEEDED(::VariantChangeType(&copy, const_cast<VARIANT*>(&v), VARIANT_ALPHABOOL, VT_BSTR)))
        out = FromBstr(copy.bstrVal);
    ::VariantClear(&copy);
    return out;
}

}  // namespace vnl::browser
