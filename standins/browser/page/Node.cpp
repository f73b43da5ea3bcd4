#include "Node.h"

#include "Page.h"
#include "Text.h"

namespace vnl::browser {

Node::Node() = default;
Node::~Node() = default;

std::optional<std::wstring> Node::GetAttribute(std::wstring_view name) const {
    for (const auto& a : attributes)
        if (EqualsNoCase(a.name, name)) return a.value;
    return std::nullopt;
}

void Node::SetAttribute(std::wstring_view name, std::wstring_view value) {
    bool found = false;
    for (auto& a : attributes) {
        if (EqualsNoCase(a.name, name)) {
            a.value = value;
            found = true;
            break;
        }
    }
    if (!found) attributes.push_back({ToLower(name), std::wstring(value)});
    if (EqualsNoCase(name, L"style")) style.Parse(value);
    if (EqualsNoCase(name, L"value") && Is(L"INPUT")) this->value = value;
}

bool Node::RemoveAttribute(std::wstring_view name) {
    for (auto it = attributes.begin(); it != attributes.end(); ++it) {
        if (EqualsNoCase(it->name, name)) {
            attributes.erase(it);
            if (EqualsNoCase(name, L"style")) style.Parse(L"");
            return true;
        }
    }
    return false;
}

Node* Node::AppendChild(std::unique_ptr<Node> child) {
    child->parent = this;
    children.push_back(std::move(child));
    return children.back().get();
}

std::wstring Node::TextContent() const {
    std::wstring out;
    if (kind == NodeKind::Text) out += text;
    for (const auto& child : children) out += child->TextContent();
    return out;
}

std::unique_ptr<Node> MakeElement(std::wstring_view upperTag) {
    auto node = std::make_unique<Node>();
    node->kind = NodeKind::Element;
    node->tag = upperTag;
    return node;
}

std::unique_ptr<Node> MakeText(std::wstring_view text) {
    auto node = std::make_unique<Node>();
    node->kind = NodeKind::Text;
    node->text = text;
    return node;
}

Node* FindById(Node* root, std::wstring_view id) {
    Node* found = nullptr;
    WalkElements(root, [&](Node* n) {
        auto v = n->GetAttribute(L"id");
        if (v && *v == id) { found = n; return false; }
        return true;
    });
    return found;
}

std::vector<Node*> ElementsByTag(Node* root, std::wstring_view upperTag) {
    std::vector<Node*> out;
    WalkElements(root, [&](Node* n) {
        if (upperTag == L"*" || n->tag == upperTag) out.push_back(n);
        return true;
    });
    return out;
}

std::wstring InputType(const Node& element) {
    static const wchar_t* const kTypes[] = {L"text", L"password", L"checkbox", L"radio", L"submit", L"reset",
                                           L"button", L"hidden", L"image", L"file", L"email", L"search",
                                           L"tel", L"url", L"number"};
    const std::wstring t = ToLower(Trim(element.GetAttribute(L"type").value_or(L"")));
    for (const wchar_t* k : kTypes)
        if (t == k) return t;
    return L"text";
}

bool IsTextField(const Node& element) {
    if (element.Is(L"TEXTAREA")) return true;
    if (!element.Is(L"INPUT")) return false;
    const std::wstring t = InputType(element);
    return t == L"text" || t == L"password" || t == L"email" || t == L"search" || t == L"tel" || t == L"url" ||
           t == L"number";
}

}  // namespace vnl::browser
