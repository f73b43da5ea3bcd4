#include "HtmlParser.h"

#include <vector>

#include "Text.h"

namespace vnl::browser {

namespace {

bool IsVoid(std::wstring_view tag) {
    static const wchar_t* const kVoid[] = {L"AREA", L"BASE", L"BR", L"COL", L"EMBED", L"FRAME", L"HR", L"IMG",
                                          L"INPUT", L"LINK", L"META", L"PARAM", L"SOURCE", L"WBR", L"BASEFONT",
                                          L"ISINDEX"};
    for (const wchar_t* v : kVoid)
        if (tag == v) return true;
    return false;
}

// Elements whose content is text up to their own end tag.
bool IsRawText(std::wstring_view tag) {
    return tag == L"SCRIPT" || tag == L"STYLE" || tag == L"TEXTAREA" || tag == L"TITLE" || tag == L"XMP";
}

// Elements that a new element of the same kind closes.
bool ClosesItself(std::wstring_view tag) {
    return tag == L"P" || tag == L"LI" || tag == L"OPTION" || tag == L"TR" || tag == L"TD" || tag == L"TH";
}

bool IsNameChar(wchar_t c) {
    return !IsSpace(c) && c != L'>' && c != L'/' && c != L'=' && c != L'<' && c != 0;
}

size_t FindNoCase(std::wstring_view text, std::wstring_view what, size_t from) {
    if (what.empty()) return from;
    for (size_t i = from; i + what.size() <= text.size(); ++i) {
        if (AsciiLower(text[i]) == AsciiLower(what[0]) && EqualsNoCase(text.substr(i, what.size()), what)) return i;
    }
    return std::wstring_view::npos;
}

class Parser {
public:
    explicit Parser(std::wstring_view s) : s_(s) {}

    std::unique_ptr<Node> Run() {
        auto doc = std::make_unique<Node>();
        doc->kind = NodeKind::Document;
        stack_.push_back(doc.get());
        while (i_ < s_.size()) {
            if (s_[i_] == L'<' && i_ + 1 < s_.size()) {
                const wchar_t c = s_[i_ + 1];
                if (s_.substr(i_).starts_with(L"<!--")) { Comment(); continue; }
                if (c == L'!' || c == L'?') { SkipDeclaration(); continue; }
                if (c == L'/') { EndTag(); continue; }
                if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) { StartTag(); continue; }
            }
            Text();
        }
        FlushText();
        return doc;
    }

private:
    Node* Top() { return stack_.back(); }

    void FlushText() {
        if (pending_.empty()) return;
        Top()->AppendChild(MakeText(DecodeEntities(pending_)));
        pending_.clear();
    }

    void Text() {
        const size_t next = s_.find(L'<', i_ + 1);
        const size_t end = next == std::wstring_view::npos ? s_.size() : next;
        pending_.append(s_.substr(i_, end - i_));
        i_ = end;
    }

    void Comment() {
        FlushText();
        const size_t start = i_ + 4;
        size_t end = s_.find(L"-->", start);
        auto node = std::make_unique<Node>();
        node->kind = NodeKind::Comment;
        if (end == std::wstring_view::npos) {
            node->text = s_.substr(start);
            i_ = s_.size();
        } else {
            node->text = s_.substr(start, end - start);
            i_ = end + 3;
        }
        Top()->AppendChild(std::move(node));
    }

    void SkipDeclaration() {
        FlushText();
        const size_t end = s_.find(L'>', i_);
        i_ = end == std::wstring_view::npos ? s_.size() : end + 1;
    }

    std::wstring ReadName() {
        std::wstring name;
        while (i_ < s_.size() && IsNameChar(s_[i_])) name.push_back(s_[i_++]);
        return name;
    }

    void SkipSpace() {
        while (i_ < s_.size() && IsSpace(s_[i_])) ++i_;
    }

    void EndTag() {
        FlushText();
        i_ += 2;
        const std::wstring tag = ToUpper(ReadName());
        const size_t end = s_.find(L'>', i_);
        i_ = end == std::wstring_view::npos ? s_.size() : end + 1;
        if (tag.empty()) return;
        for (size_t k = stack_.size(); k-- > 1;) {
            if (stack_[k]->tag == tag) {
                stack_.resize(k);
                return;
            }
        }
        // A stray end tag closes nothing.
    }

    void StartTag() {
        FlushText();
        ++i_;
        auto element = MakeElement(ToUpper(ReadName()));
        bool selfClosing = false;
        while (i_ < s_.size()) {
            SkipSpace();
            if (i_ >= s_.size()) break;
            if (s_[i_] == L'>') { ++i_; break; }
            if (s_[i_] == L'/') {
                ++i_;
                if (i_ < s_.size() && s_[i_] == L'>') { selfClosing = true; ++i_; break; }
                continue;
            }
            if (s_[i_] == L'<') break;  // a tag left open: the next one starts here
            std::wstring name = ReadName();
            if (name.empty()) { ++i_; continue; }
            SkipSpace();
            std::wstring value;
            if (i_ < s_.size() && s_[i_] == L'=') {
                ++i_;
                SkipSpace();
                if (i_ < s_.size() && (s_[i_] == L'"' || s_[i_] == L'\'')) {
                    const wchar_t q = s_[i_++];
                    size_t end = s_.find(q, i_);
                    if (end == std::wstring_view::npos) end = s_.size();
                    value = DecodeEntities(s_.substr(i_, end - i_));
                    i_ = end < s_.size() ? end + 1 : end;
                } else {
                    const size_t start = i_;
                    while (i_ < s_.size() && !IsSpace(s_[i_]) && s_[i_] != L'>') ++i_;
                    value = DecodeEntities(s_.substr(start, i_ - start));
                }
            }
            if (!element->GetAttribute(name)) {  // the first of duplicate attributes counts
                element->SetAttribute(name, value);
                element->attributes.back().name = name;  // the page's own spelling
            }
        }
        if (element->Is(L"INPUT")) element->value = element->GetAttribute(L"value").value_or(L"");

        const std::wstring tag = element->tag;
        if (ClosesItself(tag) && Top()->tag == tag) stack_.pop_back();
        Node* node = Top()->AppendChild(std::move(element));
        if (IsVoid(tag) || selfClosing) return;
        if (IsRawText(tag)) {
            const std::wstring close = L"</" + tag;
            size_t end = FindNoCase(s_, close, i_);
            if (end == std::wstring_view::npos) end = s_.size();
            std::wstring_view content = s_.substr(i_, end - i_);
            const std::wstring text = tag == L"SCRIPT" || tag == L"STYLE" ? std::wstring(content) : DecodeEntities(content);
            if (!text.empty()) node->AppendChild(MakeText(text));
            if (tag == L"TEXTAREA") node->value = text;
            const size_t gt = end < s_.size() ? s_.find(L'>', end) : std::wstring_view::npos;
            i_ = gt == std::wstring_view::npos ? s_.size() : gt + 1;
            return;
        }
        if (static_cast<int>(stack_.size()) <= kMaxNesting) stack_.push_back(node);
    }

    std::wstring_view s_;
    size_t i_ = 0;
    std::vector<Node*> stack_;
    std::wstring pending_;
};

bool IsHeadContent(const Node& n) {
    return n.Is(L"HEAD") || n.Is(L"TITLE") || n.Is(L"META") || n.Is(L"LINK") || n.Is(L"STYLE") || n.Is(L"BASE");
}

// Gives the document one HTML element holding a body (or frameset).
void Normalise(Node& doc) {
    Node* html = nullptr;
    for (auto& c : doc.children)
        if (c->Is(L"HTML")) { html = c.get(); break; }
    if (!html) {
        auto made = MakeElement(L"HTML");
        std::vector<std::unique_ptr<Node>> keep;
        for (auto& c : doc.children) {
            if (c->kind == NodeKind::Comment) keep.push_back(std::move(c));
            else made->AppendChild(std::move(c));
        }
        doc.children = std::move(keep);
        html = doc.AppendChild(std::move(made));
    } else {
        // Content outside the HTML element belongs in it.
        std::vector<std::unique_ptr<Node>> keep;
        for (auto& c : doc.children) {
            if (c.get() == html || c->kind == NodeKind::Comment) keep.push_back(std::move(c));
            else html->AppendChild(std::move(c));
        }
        doc.children = std::move(keep);
    }
    for (auto& c : html->children)
        if (c->Is(L"BODY") || c->Is(L"FRAMESET")) return;
    // A BODY or FRAMESET deeper down (inside a stray wrapper) is taken as it is.
    Node* deep = nullptr;
    WalkElements(html, [&](Node* n) {
        if (n->Is(L"BODY") || n->Is(L"FRAMESET")) { deep = n; return false; }
        return true;
    });
    if (deep) return;
    auto body = MakeElement(L"BODY");
    std::vector<std::unique_ptr<Node>> keep;
    for (auto& c : html->children) {
        if (IsHeadContent(*c)) keep.push_back(std::move(c));
        else body->AppendChild(std::move(c));
    }
    html->children = std::move(keep);
    html->AppendChild(std::move(body));
}

}  // namespace

std::wstring DecodeEntities(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != L'&') { out.push_back(text[i++]); continue; }
        const size_t semi = text.find(L';', i);
        if (semi == std::wstring_view::npos || semi - i > 10) { out.push_back(text[i++]); continue; }
        const std::wstring_view name = text.substr(i + 1, semi - i - 1);
        unsigned long cp = 0;
        bool ok = false;
        if (name.size() > 1 && name[0] == L'#') {
            const bool hex = name[1] == L'x' || name[1] == L'X';
            ok = name.size() > (hex ? 2u : 1u);
            for (size_t k = hex ? 2 : 1; ok && k < name.size(); ++k) {
                const wchar_t c = name[k];
                int d = -1;
                if (c >= L'0' && c <= L'9') d = c - L'0';
                else if (hex && c >= L'a' && c <= L'f') d = c - L'a' + 10;
                else if (hex && c >= L'A' && c <= L'F') d = c - L'A' + 10;
                if (d < 0) ok = false;
                else cp = cp * (hex ? 16 : 10) + d;
                if (cp > 0x10FFFF) ok = false;
            }
            if (ok && (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))) cp = 0xFFFD;
        } else {
            static const struct { const wchar_t* name; wchar_t c; } kNamed[] = {
                {L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}, {L"nbsp", L'\xA0'}};
            for (const auto& e : kNamed)
                if (name == e.name) { cp = e.c; ok = true; }
        }
        if (!ok) { out.push_back(text[i++]); continue; }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(cp));
        }
        i = semi + 1;
    }
    return out;
}

std::unique_ptr<Node> ParseHtml(std::wstring_view source) {
    auto doc = Parser(source).Run();
    Normalise(*doc);
    return doc;
}

}  // namespace vnl::browser
