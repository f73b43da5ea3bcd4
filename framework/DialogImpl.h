// Modal dialogs over a template from a given module: one dialog-procedure
// thunk per class reaches one message-map function per class.
//
// Usage:
//
//   class CAskName : public vnl::DialogImpl<CAskName> {
//   public:
//       INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
//           switch (message) {
//           case WM_INITDIALOG: return OnInitDialog(lParam);
//           case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
//           default: return FALSE;   // not handled: the dialog manager's default
//           }
//       }
//   };
//
//   CAskName dialog;
//   INT_PTR result = dialog.DoModal(module, IDD_ASKNAME, owner);
//
// The map answers as a dialog procedure does: TRUE when it handled the
// message (SetMessageResult gives a message its own result), FALSE otherwise.
// WM_INITDIALOG reaches the map with the initialisation parameter given to
// DoModal. The thunk catches every exception a handler lets out (the message
// then counts as not handled).
#pragma once

#include <windows.h>

#include "ResourceInstance.h"
#include "WindowImpl.h"

namespace vnl {

template <typename T>
class DialogImpl : public WindowBase {
public:
    // Runs the dialog from template `templateId` of `module` (the resource
    // instance when null) and returns what EndDialog was given; -1 when the
    // dialog cannot be created (a missing template), with the last error set.
    INT_PTR DoModal(HINSTANCE module, UINT templateId, HWND owner = nullptr, LPARAM initParam = 0) noexcept {
        if (hwnd_) {
            ::SetLastError(ERROR_ALREADY_EXISTS);
            return -1;
        }
        initParam_ = initParam;
        return ::DialogBoxParamW(module ? module : ResourceInstance(), MAKEINTRESOURCEW(templateId), owner,
                                 &DialogImpl::DialogProc, reinterpret_cast<LPARAM>(this));
    }

    // Ends the modal loop; DoModal returns `result`.
    bool EndDialog(INT_PTR result) noexcept { return hwnd_ && ::EndDialog(hwnd_, result) != FALSE; }

    HWND Item(int id) const noexcept { return ::GetDlgItem(hwnd_, id); }

protected:
    // The result of the message being handled, for messages whose answer is not TRUE/FALSE.
    INT_PTR SetMessageResult(LRESULT result) noexcept {
        ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        auto* self = static_cast<DialogImpl*>(FromHandle(hwnd));
        if (!self) {
            if (message != WM_INITDIALOG || !lParam) return FALSE;
            self = reinterpret_cast<DialogImpl*>(lParam);
            self->Bind(hwnd);
            lParam = self->initParam_;
        }
        INT_PTR result = FALSE;
        try {
            result = static_cast<T*>(self)->HandleMessage(message, wParam, lParam);
        } catch (...) {
            result = FALSE;
        }
        if (message == WM_NCDESTROY) {
            self->Unbind();
            self->OnFinalMessage();
        }
        return result;
    }

    LPARAM initParam_ = 0;
};

}  // namespace vnl
