// The About box: the installed product version and the file version of each
// component of the product that is present, from template 221 of the resource
// library.
#pragma once

#include <windows.h>

#include <span>

#include "DialogImpl.h"

namespace vnl {

// Opens the About box modally, owned by the calling thread's active window,
// with the resource library as the module's resource source. When the
// library cannot be loaded the resource scope's critical-error box is all
// that appears. Always returns 0.
int ShowAboutDialog() noexcept;

// One component file: with a '%' the text holds environment variables and
// names the whole path; without one it is relative to the installation folder.
using ComponentFile = const char*;

// The product's component files, in the order their rows are inserted (each
// at the top, so the last present one heads the list).
std::span<const ComponentFile> ProductComponentFiles() noexcept;

class CAbout : public DialogImpl<CAbout> {
public:
    static constexpr UINT kTemplateId = 221;
    static constexpr int kVersionText = 207;
    static constexpr int kFileList = 1024;

    // Width of the file-name column before any name widens it, and the
    // pixels given to each character of a name or version text.
    static constexpr int kNameColumnWidth = 178;
    static constexpr int kPixelsPerCharacter = 7;

    // Ends with 1 (OK), 2 (Cancel, Escape) or 8 (the window's close box).
    static constexpr INT_PTR kClosedByCloseBox = 8;

    explicit CAbout(std::span<const ComponentFile> files = ProductComponentFiles()) noexcept : files_(files) {}

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnInitDialog();
    INT_PTR OnCommand(WORD id);
    INT_PTR OnClose();

    void AddColumns() noexcept;
    void AddComponentRows() noexcept;

    std::span<const ComponentFile> files_;
    HWND versionText_ = nullptr;
    HWND fileList_ = nullptr;
};

}  // namespace vnl
