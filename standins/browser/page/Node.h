// The page model's tree: the document, its elements, text and comments, as the
// tolerant parser builds them. Elements keep their attributes in source order
// (names compared without regard to case), their parsed inline style, the
// value of a field and, for a frame element, the page loaded into it.
// Free of Windows headers.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "InlineStyle.h"

namespace vnl::browser {

struct Page;

enum class NodeKind { Document, Element, Text, Comment };

struct Attribute {
    std::wstring name;   // as written in the page
    std::wstring value;
};

struct Node {
    Node();
    ~Node();  // out of line: Page is incomplete here
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    NodeKind kind = NodeKind::Element;
    std::wstring tag;    // elements: upper case ("INPUT"); others empty
    std::wstring text;   // text and comments: their content, entities decoded
    std::vector<Attribute> attributes;
    std::vector<std::unique_ptr<Node>> children;
    Node* parent = nullptr;

    InlineStyle style;                 // parsed from the "style" attribute
    std::wstring value;                // INPUT and TEXTAREA: the field's current value
    std::unique_ptr<Page> framePage;   // IFRAME and FRAME: the page shown in the frame

    bool IsElement() const { return kind == NodeKind::Element; }
    bool Is(std::wstring_view upperTag) const { return kind == NodeKind::Element && tag == upperTag; }
    bool IsFrame() const { return Is(L"IFRAME") || Is(L"FRAME"); }

    // Attribute lookup without regard to the name's case; nothing when absent.
    std::optional<std::wstring> GetAttribute(std::wstring_view name) const;
    // Sets or adds; "style" also re-parses the inline style and "value" the field's value.
    void SetAttribute(std::wstring_view name, std::wstring_view value);
    bool RemoveAttribute(std::wstring_view name);
    std::wstring Id() const { return GetAttribute(L"id").value_or(L""); }

    Node* AppendChild(std::unique_ptr<Node> child);
    // Concatenated text of every text node below (textarea content, script text).
    std::wstring TextContent() const;
};

std::unique_ptr<Node> MakeElement(std::wstring_view upperTag);
std::unique_ptr<Node> MakeText(std::wstring_view text);

// Pre-order walk; `visit` returns false to stop. Returns false when stopped.
template <typename F>
bool WalkElements(Node* node, F&& visit) {
    if (node->IsElement() && !visit(node)) return false;
    for (auto& child : node->children)
        if (!WalkElements(child.get(), visit)) return false;
    return true;
}

Node* FindById(Node* root, std::wstring_view id);
std::vector<Node*> ElementsByTag(Node* root, std::wstring_view upperTag);  // "*" for all, document order

// Whether an element takes typed text: INPUT of a text-like type or TEXTAREA.
bool IsTextField(const Node& element);
// The type of an INPUT as the browser reports it: lower case, "text" when
// absent or unknown.
std::wstring InputType(const Node& element);

}  // namespace vnl::browser
