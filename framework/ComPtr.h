// A small owning COM reference: AddRef on copy, Release on destruction.
#pragma once

#include <unknwn.h>
#include <utility>

namespace vnl {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference on `p`.
    explicit ComPtr(T* p) noexcept : p_(p) { if (p_) p_->AddRef(); }
    ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept { std::swap(p_, o.p_); return *this; }
    ~ComPtr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    void reset() noexcept { if (T* p = std::exchange(p_, nullptr)) p->Release(); }
    // Releases the held reference and returns the address for an out parameter.
    T** put() noexcept { reset(); return &p_; }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    // Adopts a reference the caller already owns.
    void attach(T* p) noexcept { reset(); p_ = p; }
    T* detach() noexcept { return std::exchange(p_, nullptr); }

    // QueryInterface into another smart pointer; returns the HRESULT.
    template <typename U>
    HRESULT query_to(ComPtr<U>& out) const noexcept {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(__uuidof(U), out.put_void());
    }
    HRESULT query_to(REFIID iid, void** out) const noexcept {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out);
    }

private:
    T* p_ = nullptr;
};

}  // namespace vnl
