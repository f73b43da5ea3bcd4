// BSTR and VARIANT helpers of the object model.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace vnl::browser {

// Nulls `*out` first; E_POINTER without it, E_OUTOFMEMORY when allocation fails.
HRESULT ReturnBstr(std::wstring_view text, BSTR* out) noexcept;
std::wstring FromBstr(BSTR text);
// The text of a variant: a BSTR as it is, numbers and booleans converted; empty for empty and null.
std::wstring VariantText(const VARIANT& value);
bool VariantIsNull(const VARIANT& value);
// Follows VT_BYREF | VT_VARIANT to the variant it points at.
const VARIANT& Deref(const VARIANT& value);

// An owned VARIANT: cleared when destroyed.
class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&v_); }
    ~UniqueVariant() { ::VariantClear(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    VARIANT* get() noexcept { return &v_; }
    const VARIANT& operator*() const noexcept { return v_; }

private:
    VARIANT v_;
};

}  // namespace vnl::browser
