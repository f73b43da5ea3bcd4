#include "Reflection.h"

namespace vnl {

bool IsReflectable(UINT message) noexcept {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_PARENTNOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}

HWND ReflectionTarget(HWND parent, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
    case WM_COMMAND:
        return reinterpret_cast<HWND>(lParam);  // null for menus and accelerators
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_PARENTNOTIFY:
        switch (LOWORD(wParam)) {
        case WM_CREATE:
        case WM_DESTROY:
            return reinterpret_cast<HWND>(lParam);
        default:
            return ::GetDlgItem(parent, HIWORD(wParam));
        }
    case WM_DRAWITEM:
        return (wParam && lParam) ? reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_MEASUREITEM:
        return (wParam && lParam)
                   ? ::GetDlgItem(parent, static_cast<int>(reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID))
                   : nullptr;
    case WM_COMPAREITEM:
        return lParam ? reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_DELETEITEM:
        return lParam ? reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    default:
        // List-box keys, scroll bars and control colours name the control in lParam.
        return IsReflectable(message) ? reinterpret_cast<HWND>(lParam) : nullptr;
    }
}

bool ReflectNotification(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
    if (!IsReflectable(message)) return false;
    HWND control = ReflectionTarget(parent, message, wParam, lParam);
    if (!control || control == parent || !::IsWindow(control)) return false;
    result = ::SendMessageW(control, message + kReflectBase, wParam, lParam);
    return true;
}

}  // namespace vnl
