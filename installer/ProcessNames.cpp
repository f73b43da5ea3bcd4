#include "ProcessNames.h"

namespace vnl {
namespace {

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) noexcept {
    for (; *prefix != 0; ++text, ++prefix) {
        wchar_t a = *text, b = *prefix;
        if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a + 32);
        if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b + 32);
        if (a != b) return false;  // also stops at the end of `text`
    }
    return true;
}

}  // namespace

bool IsBrowserProcessName(const wchar_t* exeName) noexcept {
    if (exeName == nullptr) return false;
    return StartsWithNoCase(exeName, L"iexplore.exe") || StartsWithNoCase(exeName, L"firefox.exe");
}

}  // namespace vnl
