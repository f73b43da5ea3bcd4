// Message reflection: a parent sends each notification of a child control
// back to that control as the original message plus 0x2000, so the control's
// own class handles its clicks and notifications.
//
// In the parent's message map:
//   VNL_REFLECTABLE_MESSAGE_CASES
//       return OnReflect(message, wParam, lParam);
// with
//   LRESULT OnReflect(UINT message, WPARAM wParam, LPARAM lParam) {
//       LRESULT result = 0;
//       if (vnl::ReflectNotification(Handle(), message, wParam, lParam, result)) return result;
//       return DefaultProc(message, wParam, lParam);
//   }
// In the control's map:
//   case vnl::kReflectedCommand: return OnClick(LOWORD(wParam));
#pragma once

#include <windows.h>

namespace vnl {

inline constexpr UINT kReflectBase = 0x2000;  // WM_USER + 0x1C00
inline constexpr UINT kReflectedCommand = kReflectBase + WM_COMMAND;
inline constexpr UINT kReflectedNotify = kReflectBase + WM_NOTIFY;
inline constexpr UINT kReflectedParentNotify = kReflectBase + WM_PARENTNOTIFY;
inline constexpr UINT kReflectedDrawItem = kReflectBase + WM_DRAWITEM;
inline constexpr UINT kReflectedMeasureItem = kReflectBase + WM_MEASUREITEM;
inline constexpr UINT kReflectedCompareItem = kReflectBase + WM_COMPAREITEM;
inline constexpr UINT kReflectedDeleteItem = kReflectBase + WM_DELETEITEM;
inline constexpr UINT kReflectedVKeyToItem = kReflectBase + WM_VKEYTOITEM;
inline constexpr UINT kReflectedCharToItem = kReflectBase + WM_CHARTOITEM;
inline constexpr UINT kReflectedHScroll = kReflectBase + WM_HSCROLL;
inline constexpr UINT kReflectedVScroll = kReflectBase + WM_VSCROLL;
inline constexpr UINT kReflectedCtlColorStatic = kReflectBase + WM_CTLCOLORSTATIC;

// The case labels of every message IsReflectable accepts, for a reflector's map.
#define VNL_REFLECTABLE_MESSAGE_CASES                                                          \
    case WM_COMMAND: case WM_NOTIFY: case WM_PARENTNOTIFY: case WM_DRAWITEM:                   \
    case WM_MEASUREITEM: case WM_COMPAREITEM: case WM_DELETEITEM: case WM_VKEYTOITEM:          \
    case WM_CHARTOITEM: case WM_HSCROLL: case WM_VSCROLL: case WM_CTLCOLORBTN:                 \
    case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORMSGBOX: \
    case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:

// The messages a reflector sends back: commands from controls, notifications,
// parent notifications, the owner-draw messages, the list-box key and
// character messages, the scroll messages and the control-colour messages.
bool IsReflectable(UINT message) noexcept;

// The control that sent `message` to its parent, or null when the message
// comes from no control (a menu command, an accelerator, a scroll bar of the
// parent itself).
HWND ReflectionTarget(HWND parent, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// Sends `message` + 0x2000 with the same arguments to the control that sent
// it. True, with the control's answer in `result`, when there was one; false
// (the parent handles the message itself) when the message is not reflectable
// or names no control.
bool ReflectNotification(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

// A reflected message handed to the default handling as the plain one, for a
// control whose map does not handle it.
inline bool IsReflected(UINT message) noexcept {
    return message >= kReflectBase && IsReflectable(message - kReflectBase);
}

}  // namespace vnl
