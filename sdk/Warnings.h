// The two warnings, each shown from a thread of its own so that the calling
// browser thread never waits for the user: the hidden-frame warning
// (template 242) and the untrusted-keyboard-driver warning (template 243).
#pragma once

#include <windows.h>

#include "DialogImpl.h"
#include "HyperLink.h"
#include "UniqueAny.h"

namespace vnl {

// Control identifiers shared by both templates.
enum WarningControl : int {
    kWarningHelpLink = 244,
    kWarningDontWarnAgain = 1074,
    kWarningText = 1077,  // the driver warning's message
};

inline constexpr size_t kWarningMessageSize = 520;
inline constexpr size_t kWarningStringSize = 260;

class CClickjackWarn : public DialogImpl<CClickjackWarn> {
public:
    static constexpr UINT kTemplateId = 242;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnInitDialog();
    INT_PTR OnOk();
    INT_PTR OnCancel();

    HWND dontWarnAgain_ = nullptr;
    HyperLink helpLink_;
    UniqueRegKey settings_;  // open while the dialog is up
};

class CBadDWarn : public DialogImpl<CBadDWarn> {
public:
    static constexpr UINT kTemplateId = 243;
    // `driverName` is owned by the caller and outlives the dialog.
    explicit CBadDWarn(const char* driverName) noexcept : driverName_(driverName) {}
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnInitDialog();
    INT_PTR OnOk();

    HWND messageText_ = nullptr;
    HWND dontWarnAgain_ = nullptr;
    HyperLink helpLink_;
    const char* driverName_;
};

}  // namespace vnl
