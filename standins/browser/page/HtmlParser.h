// A tolerant HTML parser: elements, attributes, text and comments. Unknown
// tags become generic elements, stray end tags are ignored, unclosed elements
// close at the end, and no input makes it fail. Nesting deeper than
// kMaxNesting continues as siblings, so a hostile page cannot exhaust the
// stack. Free of Windows headers.
#pragma once

#include <memory>
#include <string_view>

#include "Node.h"

namespace vnl::browser {

inline constexpr int kMaxNesting = 256;

// Parses `source` into a document node. The result always holds one HTML
// element with a BODY (or FRAMESET) element, made up when the page has none.
std::unique_ptr<Node> ParseHtml(std::wstring_view source);

// Decodes character references (&amp; &lt; &#65; &#x41; ...); unknown ones stay as written.
std::wstring DecodeEntities(std::wstring_view text);

}  // namespace vnl::browser
