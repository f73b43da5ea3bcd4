// One owner for every kind of system resource: a move-only holder whose
// traits say what the invalid value is and how the resource is released.
// Logic never releases a handle, key or module by hand.
#pragma once

#include <windows.h>
#include <utility>

namespace vnl {

template <typename Traits>
class UniqueAny {
public:
    using Type = typename Traits::Type;

    UniqueAny() noexcept = default;
    explicit UniqueAny(Type value) noexcept : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    Type get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without releasing.
    Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    // Releases the held resource (if any) and takes `value`.
    void reset(Type value = Traits::Invalid()) noexcept {
        Type old = std::exchange(value_, value);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

    // Releases the held resource and returns the address for an out parameter.
    Type* put() noexcept { reset(); return &value_; }

private:
    Type value_ = Traits::Invalid();
};

struct HandleTraits {          // kernel handles whose failure value is NULL
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {      // CreateFile-style handles: INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type k) noexcept { ::RegCloseKey(k); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type m) noexcept { ::FreeLibrary(m); }
};
struct EventSourceTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeregisterEventSource(h); }
};
struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseServiceHandle(h); }
};
struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};
struct FindFileTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
struct LocalMemTraits {
    using Type = HLOCAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};

using UniqueHandle        = UniqueAny<HandleTraits>;
using UniqueFileHandle    = UniqueAny<FileHandleTraits>;
using UniqueEvent         = UniqueAny<HandleTraits>;
using UniqueProcess       = UniqueAny<HandleTraits>;
using UniqueRegKey        = UniqueAny<RegKeyTraits>;
using UniqueModule        = UniqueAny<ModuleTraits>;
using UniqueEventSource   = UniqueAny<EventSourceTraits>;
using UniqueServiceHandle = UniqueAny<ServiceHandleTraits>;
using UniqueGdiObject     = UniqueAny<GdiObjectTraits>;
using UniqueFindFile      = UniqueAny<FindFileTraits>;
using UniqueLocalMem      = UniqueAny<LocalMemTraits>;

}  // namespace vnl
