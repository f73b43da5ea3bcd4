// Windows as classes: one static thunk per class reaches one message-map
// function per class, a flat switch.
//
// Usage:
//
//   class CPanel : public vnl::WindowImpl<CPanel> {
//   public:
//       // The class: registered on first creation under this name.
//       static vnl::WindowClass GetWindowClass() noexcept { return {L"VnlPanel"}; }
//       // or a superclass of a system class (new name, the system class's procedure
//       // called for whatever the map does not handle):
//       //   return vnl::WindowClass::Superclass(L"VnlToolBar", L"ToolbarWindow32");
//
//       LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
//           switch (message) {
//           case WM_SIZE: return OnSize(wParam, lParam);
//           case vnl::kReflectedCommand: return OnReflectedCommand(wParam, lParam);
//           default: return DefaultProc(message, wParam, lParam);
//           }
//       }
//   };
//
//   CPanel panel;
//   HWND hwnd = panel.Create(parent, rect, L"", WS_CHILD | WS_VISIBLE, 0, id);
//
// The thunk catches every exception a handler lets out (the message then goes
// to DefaultProc), so none crosses into the system. The object is bound to its
// window from the first message the window receives until WM_NCDESTROY, after
// which OnFinalMessage runs. Destroying the object destroys its window if that
// still exists, after unbinding it: the map sees no WM_DESTROY then, so a
// class that handles WM_DESTROY destroys its window (DestroyWindow) first. A window made by someone else can be taken over with
// SubclassWindow (the hyperlink takes a dialog's static control this way).
//
// A superclass takes the system class's attributes when it is first
// registered: the common controls must be initialised by then
// (InitCommonControlsEx), and the activation context active at that moment
// decides which version of the control the superclass extends.
//
// Window classes registered here belong to the module that links the framework
// (ModuleInstance()). A DLL calls UnregisterModuleWindowClasses when it is
// unloaded, so that no class outlives the code of its procedure.
#pragma once

#include <windows.h>

#include <mutex>

#include "ResourceInstance.h"

namespace vnl {

// What the thunk needs to register a class.
struct WindowClass {
    const wchar_t* name = nullptr;
    // For a superclass: the system class whose procedure handles the rest.
    const wchar_t* baseName = nullptr;
    UINT style = CS_DBLCLKS;
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    const wchar_t* cursor = MAKEINTRESOURCEW(32512);  // IDC_ARROW

    static WindowClass Superclass(const wchar_t* name, const wchar_t* baseName) noexcept {
        WindowClass c;
        c.name = name;
        c.baseName = baseName;
        return c;
    }
};

// Base of every window class: the handle, the procedure messages fall back
// to, and the binding between a window and its object.
class WindowBase {
public:
    WindowBase() noexcept = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND Handle() const noexcept { return hwnd_; }
    bool IsWindow() const noexcept { return hwnd_ && ::IsWindow(hwnd_); }

    // Destroys the window; true when it was destroyed (or there was none).
    bool DestroyWindow() noexcept;

    // The object bound to `hwnd` by this framework, or null.
    static WindowBase* FromHandle(HWND hwnd) noexcept;

protected:
    ~WindowBase();

    // The procedure that handles what the map does not: the subclassed
    // window's previous procedure, else the superclass's, else DefWindowProc.
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // Runs after WM_NCDESTROY, when the window is gone and unbound.
    virtual void OnFinalMessage() noexcept {}

    // Binding, used by the thunks.
    void Bind(HWND hwnd) noexcept;
    void Unbind() noexcept;
    // Takes over a window that exists: its procedure becomes `thunk`.
    bool Subclass(HWND hwnd, WNDPROC thunk) noexcept;
    void Unsubclass(WNDPROC thunk) noexcept;

    // Registers `info` once per process for this module, with `thunk` as its
    // procedure. For a superclass `*baseProc` receives the system class's procedure.
    static ATOM RegisterClassOnce(const WindowClass& info, WNDPROC thunk, ATOM& atom, WNDPROC& baseProc) noexcept;

    HWND hwnd_ = nullptr;
    WNDPROC previous_ = nullptr;   // a subclassed window's own procedure
    WNDPROC classBase_ = nullptr;  // the superclass's procedure

    template <typename T>
    friend class WindowImpl;
};

// Forgets and unregisters every class this module registered through WindowImpl.
void UnregisterModuleWindowClasses() noexcept;

template <typename T>
class WindowImpl : public WindowBase {
public:
    // Registers the class when needed and creates the window. Returns the
    // handle, or null with the system's last error when it cannot.
    HWND Create(HWND parent, const RECT& rect, const wchar_t* text, DWORD style, DWORD exStyle = 0,
                UINT_PTR idOrMenu = 0) noexcept {
        if (hwnd_) {
            ::SetLastError(ERROR_ALREADY_EXISTS);
            return nullptr;
        }
        const WindowClass info = T::GetWindowClass();
        if (!RegisterClassOnce(info, &WindowImpl::WindowProc, Atom(), BaseProc())) return nullptr;
        classBase_ = BaseProc();
        Creating() = this;
        HWND hwnd = ::CreateWindowExW(exStyle, info.name, text, style, rect.left, rect.top, rect.right - rect.left,
                                      rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(idOrMenu),
                                      ModuleInstance(), nullptr);
        Creating() = nullptr;
        return hwnd;
    }

    // Takes over an existing window (a dialog's control): its messages reach
    // T::HandleMessage, and DefaultProc calls its own procedure.
    bool SubclassWindow(HWND hwnd) noexcept { return Subclass(hwnd, &WindowImpl::WindowProc); }

    // Gives the window its own procedure back (only while this thunk is its procedure).
    void UnsubclassWindow() noexcept { Unsubclass(&WindowImpl::WindowProc); }

private:
    static ATOM& Atom() noexcept {
        static ATOM atom = 0;
        return atom;
    }
    static WNDPROC& BaseProc() noexcept {
        static WNDPROC proc = nullptr;
        return proc;
    }
    // The object whose CreateWindowEx is running on this thread: its window's
    // first message (which may come before WM_NCCREATE) binds the two.
    static WindowImpl*& Creating() noexcept {
        static thread_local WindowImpl* creating = nullptr;
        return creating;
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        auto* self = static_cast<WindowImpl*>(FromHandle(hwnd));
        if (!self && Creating()) {
            self = Creating();
            Creating() = nullptr;
            self->Bind(hwnd);
        }
        if (!self) {
            WNDPROC base = BaseProc();
            return base ? ::CallWindowProcW(base, hwnd, message, wParam, lParam)
                        : ::DefWindowProcW(hwnd, message, wParam, lParam);
        }
        LRESULT result = 0;
        try {
            result = static_cast<T*>(self)->HandleMessage(message, wParam, lParam);
        } catch (...) {
            result = self->DefaultProc(message, wParam, lParam);
        }
        if (message == WM_NCDESTROY) {
            self->UnsubclassWindow();
            self->Unbind();
            self->OnFinalMessage();
        }
        return result;
    }
};

}  // namespace vnl
