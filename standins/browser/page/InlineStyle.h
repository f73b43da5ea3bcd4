// An element's inline style: the declarations of its "style" attribute, parsed
// into properties and written back the way the browser reads them out
// (property names lower case, colours lower case, white space collapsed).
// Free of Windows headers.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vnl::browser {

class InlineStyle {
public:
    InlineStyle() = default;
    explicit InlineStyle(std::wstring_view cssText) { Parse(cssText); }

    // Replaces every declaration. Malformed declarations are skipped.
    void Parse(std::wstring_view cssText);
    // The declaration's value as the browser reads it back, empty when unset.
    // "background" sets "background-color" and "background-image" too.
    std::wstring Get(std::wstring_view property) const;
    // An empty value removes the declaration.
    void Set(std::wstring_view property, std::wstring_view value);
    std::wstring CssText() const;
    bool Empty() const { return declarations_.empty(); }

    // The value normalised as it reads back (colour and keyword case, spaces).
    static std::wstring Normalise(std::wstring_view property, std::wstring_view value);

private:
    void SetOne(std::wstring_view property, std::wstring_view value);
    std::vector<std::pair<std::wstring, std::wstring>> declarations_;
};

// The computed value of `property` for an element with tag `upperTag` whose
// inline style is `style`: the inline value, else the browser's default.
std::wstring ComputedStyleValue(std::wstring_view upperTag, const InlineStyle& style, std::wstring_view property);

}  // namespace vnl::browser
