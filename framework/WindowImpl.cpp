#include "WindowImpl.h"

#include <vector>

namespace vnl {
namespace {

// The property that binds a window to its object.
constexpr const wchar_t* kObjectProperty = L"VnlWindowObject";

struct RegisteredClass {
    ATOM* atom;
    WNDPROC* baseProc;
};

std::mutex& ClassLock() {
    static std::mutex lock;
    return lock;
}

std::vector<RegisteredClass>& RegisteredClasses() {
    static std::vector<RegisteredClass> classes;
    return classes;
}

}  // namespace

WindowBase::~WindowBase() {
    HWND hwnd = hwnd_;
    if (!hwnd) return;
    // The object is half gone: no message may reach it any more. The window
    // gets back the procedure that handles it without us.
    const bool subclassed = previous_ != nullptr;
    WNDPROC fallback = previous_ ? previous_ : (classBase_ ? classBase_ : &::DefWindowProcW);
    Unbind();
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fallback));
    // A subclassed window goes on living without us; our own cannot outlive its object.
    if (!subclassed) ::DestroyWindow(hwnd);
}

bool WindowBase::DestroyWindow() noexcept {
    if (!hwnd_) return true;
    return ::DestroyWindow(hwnd_) != FALSE;
}

WindowBase* WindowBase::FromHandle(HWND hwnd) noexcept {
    return hwnd ? static_cast<WindowBase*>(::GetPropW(hwnd, kObjectProperty)) : nullptr;
}

LRESULT WindowBase::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (previous_) return ::CallWindowProcW(previous_, hwnd_, message, wParam, lParam);
    if (classBase_) return ::CallWindowProcW(classBase_, hwnd_, message, wParam, lParam);
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void WindowBase::Bind(HWND hwnd) noexcept {
    hwnd_ = hwnd;
    ::SetPropW(hwnd, kObjectProperty, this);
}

void WindowBase::Unbind() noexcept {
    if (hwnd_) ::RemovePropW(hwnd_, kObjectProperty);
    hwnd_ = nullptr;
    previous_ = nullptr;
}

bool WindowBase::Subclass(HWND hwnd, WNDPROC thunk) noexcept {
    if (hwnd_ || !hwnd || !::IsWindow(hwnd) || FromHandle(hwnd)) {
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    Bind(hwnd);
    classBase_ = nullptr;
    previous_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(thunk)));
    if (!previous_) {
        Unbind();
        return false;
    }
    return true;
}

void WindowBase::Unsubclass(WNDPROC thunk) noexcept {
    if (!hwnd_ || !previous_) return;
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd_, GWLP_WNDPROC)) == thunk) {
        ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    }
}

ATOM WindowBase::RegisterClassOnce(const WindowClass& info, WNDPROC thunk, ATOM& atom, WNDPROC& baseProc) noexcept {
    std::lock_guard<std::mutex> guard(ClassLock());
    if (atom) return atom;
    HINSTANCE module = ModuleInstance();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (info.baseName) {
        // A superclass: the system class's attributes under our name, with our procedure.
        if (!::GetClassInfoExW(nullptr, info.baseName, &wc) && !::GetClassInfoExW(module, info.baseName, &wc)) {
            return 0;
        }
        baseProc = wc.lpfnWndProc;
    } else {
        wc.style = info.style;
        wc.hbrBackground = info.background;
        wc.hCursor = info.cursor ? ::LoadCursorW(nullptr, info.cursor) : nullptr;
        baseProc = nullptr;
    }
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = thunk;
    wc.hInstance = module;
    wc.lpszClassName = info.name;
    wc.style &= ~CS_GLOBALCLASS;
    ATOM registered = ::RegisterClassExW(&wc);
    if (!registered) {
        // Registered earlier in this module by a copy of this class that was
        // since forgotten (UnregisterModuleWindowClasses not called): take it.
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof existing;
        if (::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 0;
        registered = static_cast<ATOM>(::GetClassInfoExW(module, info.name, &existing));
        if (!registered || existing.lpfnWndProc != thunk) {
            ::SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    atom = registered;
    try {
        RegisteredClasses().push_back({&atom, &baseProc});
    } catch (...) {
        // Only unregistration at unload would miss it.
    }
    return atom;
}

void UnregisterModuleWindowClasses() noexcept {
    std::lock_guard<std::mutex> guard(ClassLock());
    for (const RegisteredClass& c : RegisteredClasses()) {
        if (*c.atom) ::UnregisterClassW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(*c.atom)), ModuleInstance());
        *c.atom = 0;
        *c.baseProc = nullptr;
    }
    RegisteredClasses().clear();
}

}  // namespace vnl
