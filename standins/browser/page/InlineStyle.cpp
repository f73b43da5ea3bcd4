#include "InlineStyle.h"

#include "Text.h"

namespace vnl::browser {

namespace {

// Lower-cases everything outside url(...) and quotes.
std::wstring LowerOutsideUrls(std::wstring_view v) {
    std::wstring out;
    size_t i = 0;
    while (i < v.size()) {
        if (StartsWithNoCase(v.substr(i), L"url(")) {
            size_t close = v.find(L')', i);
            if (close == std::wstring_view::npos) close = v.size() - 1;
            out += L"url(";
            out += v.substr(i + 4, close + 1 - (i + 4));
            i = close + 1;
        } else if (v[i] == L'"' || v[i] == L'\'') {
            size_t close = v.find(v[i], i + 1);
            if (close == std::wstring_view::npos) close = v.size() - 1;
            out += v.substr(i, close + 1 - i);
            i = close + 1;
        } else {
            out.push_back(AsciiLower(v[i++]));
        }
    }
    return out;
}

// Splits a shorthand value at spaces outside parentheses.
std::vector<std::wstring> Tokens(std::wstring_view v) {
    std::vector<std::wstring> out;
    std::wstring cur;
    int depth = 0;
    for (wchar_t c : v) {
        if (c == L'(') ++depth;
        if (c == L')' && depth > 0) --depth;
        if (IsSpace(c) && depth == 0) {
            if (!cur.empty()) out.push_back(std::move(cur));
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) out.push_back(std::move(cur));
    return out;
}

bool IsBackgroundKeyword(std::wstring_view t) {
    static const wchar_t* const kWords[] = {L"repeat", L"repeat-x", L"repeat-y", L"no-repeat", L"scroll", L"fixed",
                                           L"top", L"bottom", L"left", L"right", L"center", L"inherit"};
    for (const wchar_t* w : kWords)
        if (EqualsNoCase(t, w)) return true;
    return !t.empty() && ((t[0] >= L'0' && t[0] <= L'9') || t[0] == L'-' || t[0] == L'.');
}

}  // namespace

std::wstring InlineStyle::Normalise(std::wstring_view property, std::wstring_view value) {
    std::wstring v = CollapseSpace(value);
    if (property == L"filter" || property == L"background-image") {
        if (EqualsNoCase(v, L"none")) return L"none";
        return v;
    }
    return LowerOutsideUrls(v);
}

void InlineStyle::Parse(std::wstring_view cssText) {
    declarations_.clear();
    size_t i = 0;
    while (i < cssText.size()) {
        // One declaration up to the next ';' outside parentheses and quotes.
        size_t end = i;
        int depth = 0;
        wchar_t quote = 0;
        for (; end < cssText.size(); ++end) {
            const wchar_t c = cssText[end];
            if (quote) { if (c == quote) quote = 0; continue; }
            if (c == L'"' || c == L'\'') quote = c;
            else if (c == L'(') ++depth;
            else if (c == L')' && depth > 0) --depth;
            else if (c == L';' && depth == 0) break;
        }
        const std::wstring_view decl = cssText.substr(i, end - i);
        i = end + 1;
        const size_t colon = decl.find(L':');
        if (colon == std::wstring_view::npos) continue;
        std::wstring name = ToLower(Trim(decl.substr(0, colon)));
        std::wstring val = Trim(decl.substr(colon + 1));
        if (name.empty() || val.empty()) continue;
        bool nameOk = true;
        for (wchar_t c : name)
            if (!((c >= L'a' && c <= L'z') || c == L'-' || (c >= L'0' && c <= L'9'))) nameOk = false;
        if (!nameOk) continue;
        Set(name, val);
    }
}

void InlineStyle::SetOne(std::wstring_view property, std::wstring_view value) {
    for (auto it = declarations_.begin(); it != declarations_.end(); ++it) {
        if (it->first == property) {
            if (value.empty()) declarations_.erase(it);
            else it->second = Normalise(property, value);
            return;
        }
    }
    if (!value.empty()) declarations_.emplace_back(std::wstring(property), Normalise(property, value));
}

void InlineStyle::Set(std::wstring_view property, std::wstring_view value) {
    const std::wstring name = ToLower(property);
    const std::wstring v = CollapseSpace(value);
    SetOne(name, v);
    if (name == L"background") {
        // The shorthand also sets the two longhands the page model reads.
        std::wstring colour, image;
        for (const auto& t : Tokens(v)) {
            if (StartsWithNoCase(t, L"url(") || EqualsNoCase(t, L"none")) image = t;
            else if (!IsBackgroundKeyword(t)) colour = t;
        }
        if (!colour.empty()) SetOne(L"background-color", colour);
        if (!image.empty()) SetOne(L"background-image", image);
    }
}

std::wstring InlineStyle::Get(std::wstring_view property) const {
    const std::wstring name = ToLower(property);
    for (const auto& [n, v] : declarations_)
        if (n == name) return v;
    return {};
}

std::wstring InlineStyle::CssText() const {
    std::wstring out;
    for (const auto& [n, v] : declarations_) {
        if (!out.empty()) out += L"; ";
        out += ToUpper(n);
        out += L": ";
        out += v;
    }
    return out;
}

std::wstring ComputedStyleValue(std::wstring_view upperTag, const InlineStyle& style, std::wstring_view property) {
    const std::wstring name = ToLower(property);
    std::wstring inlineValue = style.Get(name);
    if (!inlineValue.empty()) return inlineValue;
    if (name == L"background-color") return L"transparent";
    if (name == L"background-image") return L"none";
    if (name == L"border-style" || (name.starts_with(L"border-") && name.ends_with(L"-style"))) return L"none";
    if (name == L"border-width" || (name.starts_with(L"border-") && name.ends_with(L"-width"))) return L"medium";
    if (name == L"color" || name == L"border-color") return L"#000000";
    if (name == L"visibility") return L"inherit";
    if (name == L"filter") return L"";
    if (name == L"display") {
        static const wchar_t* const kNone[] = {L"HEAD", L"SCRIPT", L"STYLE", L"TITLE", L"META", L"LINK"};
        static const wchar_t* const kBlock[] = {L"HTML", L"BODY", L"DIV", L"P", L"FORM", L"H1", L"H2", L"H3",
                                               L"H4", L"H5", L"H6", L"UL", L"OL", L"PRE", L"FRAMESET", L"FRAME",
                                               L"CENTER", L"BLOCKQUOTE", L"HR", L"FIELDSET", L"ADDRESS"};
        static const wchar_t* const kInlineBlock[] = {L"INPUT", L"TEXTAREA", L"SELECT", L"BUTTON", L"IMG",
                                                     L"IFRAME", L"OBJECT"};
        for (const wchar_t* t : kNone) if (upperTag == t) return L"none";
        for (const wchar_t* t : kBlock) if (upperTag == t) return L"block";
        for (const wchar_t* t : kInlineBlock) if (upperTag == t) return L"inline-block";
        if (upperTag == L"LI") return L"list-item";
        if (upperTag == L"TABLE") return L"table";
        if (upperTag == L"TR") return L"table-row";
        if (upperTag == L"TD" || upperTag == L"TH") return L"table-cell";
        return L"inline";
    }
    return {};
}

}  // namespace vnl::browser
