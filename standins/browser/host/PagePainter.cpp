#include "PagePainter.h"

#include <string>

#include "ObjectModel.h"
#include "Text.h"

namespace vnl::browser {

namespace {

// "#rgb", "#rrggbb" and a few colour names; CLR_INVALID otherwise.
COLORREF ParseColour(const std::wstring& text) {
    const std::wstring t = ToLower(Trim(text));
    static const struct { const wchar_t* name; COLORREF colour; } kNames[] = {
        {L"red", RGB(255, 0, 0)}, {L"green", RGB(0, 128, 0)}, {L"blue", RGB(0, 0, 255)}, {L"white", RGB(255, 255, 255)},
        {L"black", RGB(0, 0, 0)}, {L"yellow", RGB(255, 255, 0)}, {L"gray", RGB(128, 128, 128)}};
    for (const auto& n : kNames)
        if (t == n.name) return n.colour;
    if (t.size() == 7 && t[0] == L'#') {
        const unsigned long v = wcstoul(t.c_str() + 1, nullptr, 16);
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    if (t.size() == 4 && t[0] == L'#') {
        const unsigned long v = wcstoul(t.c_str() + 1, nullptr, 16);
        return RGB(((v >> 8) & 0xF) * 17, ((v >> 4) & 0xF) * 17, (v & 0xF) * 17);
    }
    return CLR_INVALID;
}

class Layout {
public:
    Layout(HDC dc, const Node* focused, bool draw) : dc_(dc), focused_(focused), draw_(draw) {}

    void Document(CHtmlDocument* document, RECT area) {
        Page* page = document ? document->GetPage() : nullptr;
        if (!page || !page->body) return;
        area_ = area;
        y_ = area.top + 4;
        document_ = document;
        Children(page->body);
    }

    std::vector<FieldBox> boxes;

private:
    bool Full() const { return y_ >= area_.bottom; }

    void Children(Node* node) {
        for (auto& child : node->children) {
            if (Full()) return;
            Element(child.get());
        }
    }

    void TextLine(const std::wstring& text, COLORREF colour = RGB(0, 0, 0)) {
        RECT r = {area_.left + 4, y_, area_.right - 4, area_.bottom};
        const int h = ::DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
        r.right = area_.right - 4;
        if (draw_) {
            ::SetTextColor(dc_, colour);
            ::DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r, DT_WORDBREAK | DT_NOPREFIX);
        }
        y_ += h + 2;
    }

    void Box(Node* node, int width, int height, const std::wstring& text, COLORREF border, bool dashed, COLORREF fill) {
        RECT r = {area_.left + 4, y_, std::min<LONG>(area_.left + 4 + width, area_.right - 4), y_ + height};
        if (draw_) {
            if (fill != CLR_INVALID) {
                HBRUSH brush = ::CreateSolidBrush(fill);
                ::FillRect(dc_, &r, brush);
                ::DeleteObject(brush);
            }
            HPEN pen = ::CreatePen(dashed ? PS_DASH : PS_SOLID, node == focused_ ? 2 : 1, border);
            HGDIOBJ oldPen = ::SelectObject(dc_, pen);
            HGDIOBJ oldBrush = ::SelectObject(dc_, ::GetStockObject(NULL_BRUSH));
            ::Rectangle(dc_, r.left, r.top, r.right, r.bottom);
            ::SelectObject(dc_, oldBrush);
            ::SelectObject(dc_, oldPen);
            ::DeleteObject(pen);
            if (!text.empty()) {
                RECT t = {r.left + 3, r.top + 2, r.right - 3, r.bottom - 2};
                ::SetTextColor(dc_, RGB(0, 0, 0));
                ::DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &t, DT_NOPREFIX | DT_WORDBREAK);
            }
        }
        boxes.push_back({r, document_, node});
        y_ += height + 4;
    }

    void Element(Node* node) {
        if (node->kind == NodeKind::Text) {
            const std::wstring text = CollapseSpace(node->text);
            if (!text.empty()) TextLine(text);
            return;
        }
        if (!node->IsElement()) return;
        if (ToLower(node->style.Get(L"display")) == L"none") return;
        if (node->Is(L"SCRIPT") || node->Is(L"STYLE") || node->Is(L"HEAD") || node->Is(L"TITLE")) return;
        const COLORREF fill = ParseColour(node->style.Get(L"background-color"));
        if (node->Is(L"INPUT")) {
            const std::wstring type = InputType(*node);
            if (type == L"hidden") return;
            if (IsTextField(*node)) {
                const std::wstring shown = type == L"password" ? std::wstring(node->value.size(), L'*') : node->value;
                Box(node, 240, 22, shown, RGB(96, 96, 96), false, fill == CLR_INVALID ? RGB(255, 255, 255) : fill);
            } else {
                Box(node, 120, 22, L"[" + type + L"] " + node->value, RGB(96, 96, 96), false, fill);
            }
            return;
        }
        if (node->Is(L"TEXTAREA")) {
            Box(node, 320, 60, node->value, RGB(96, 96, 96), false, fill == CLR_INVALID ? RGB(255, 255, 255) : fill);
            return;
        }
        if (node->Is(L"OBJECT") || node->Is(L"EMBED") || node->Is(L"APPLET")) {
            Box(node, 200, 40, L"plug-in", RGB(128, 128, 128), false, RGB(220, 220, 220));
            return;
        }
        if (node->IsFrame()) {
            const std::wstring border = ToLower(node->style.Get(L"border"));
            const bool dashed = border.find(L"dashed") != std::wstring::npos;
            const COLORREF colour = border.find(L"red") != std::wstring::npos ? RGB(255, 0, 0) : RGB(0, 0, 160);
            const int top = y_;
            const int height = std::min<int>(160, area_.bottom - y_);
            Box(node, area_.right - area_.left - 8, height, L"", colour, dashed, fill);
            CHtmlElement* element = document_ ? document_->ElementFor(node) : nullptr;
            auto* frame = static_cast<CHtmlFrameElement*>(element);
            if (frame && frame->FrameDocument() && height > 10) {
                Layout inner(dc_, focused_, draw_);
                RECT innerArea = {area_.left + 8, top + 2, area_.right - 8, top + height - 2};
                HRGN clip = ::CreateRectRgn(innerArea.left, innerArea.top, innerArea.right, innerArea.bottom);
                if (draw_) {
                    ::SaveDC(dc_);
                    ::ExtSelectClipRgn(dc_, clip, RGN_AND);
                }
                inner.Document(frame->FrameDocument(), innerArea);
                if (draw_) ::RestoreDC(dc_, -1);
                ::DeleteObject(clip);
                boxes.insert(boxes.end(), inner.boxes.begin(), inner.boxes.end());
            }
            return;
        }
        const bool editable = EqualsNoCase(Trim(node->GetAttribute(L"contenteditable").value_or(L"")), L"true");
        if (editable) {
            Box(node, 320, 40, CollapseSpace(node->TextContent()), RGB(0, 128, 0), true, fill);
            return;
        }
        if (node->Is(L"H1") || node->Is(L"H2")) {
            TextLine(CollapseSpace(node->TextContent()), RGB(0, 0, 128));
            return;
        }
        Children(node);
    }

    HDC dc_;
    const Node* focused_;
    bool draw_;
    RECT area_ = {};
    int y_ = 0;
    CHtmlDocument* document_ = nullptr;
};

}  // namespace

std::vector<FieldBox> LayoutPage(HDC dc, CHtmlDocument* document, const RECT& area, const Node* focused, bool draw) {
    Layout layout(dc, focused, draw);
    if (draw) ::SetBkMode(dc, TRANSPARENT);
    layout.Document(document, area);
    return std::move(layout.boxes);
}

}  // namespace vnl::browser
