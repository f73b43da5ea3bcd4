// Text helpers of the page model: UTF-8 to UTF-16 and back, case-insensitive
// comparison of ASCII-cased names. Free of Windows headers.
#pragma once

#include <string>
#include <string_view>

namespace vnl::browser {

// Invalid UTF-8 sequences become U+FFFD; nothing is dropped silently.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

wchar_t AsciiLower(wchar_t c);
wchar_t AsciiUpper(wchar_t c);
std::wstring ToLower(std::wstring_view text);
std::wstring ToUpper(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
std::wstring Trim(std::wstring_view text);
// Runs of white space become one space; leading and trailing white space goes.
std::wstring CollapseSpace(std::wstring_view text);
bool IsSpace(wchar_t c);

}  // namespace vnl::browser
