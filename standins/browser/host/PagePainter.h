// Draws a page in the pane, plainly: text, fields with their values and
// inline background colour, frames as boxes holding their pages (with their
// inline border), plug-ins as grey boxes. The same layout answers which field
// lies under a point.
#pragma once

#include <windows.h>

#include <vector>

namespace vnl::browser {

class CHtmlDocument;
struct Node;

struct FieldBox {
    RECT rect;
    CHtmlDocument* document;
    Node* node;
};

// Lays out (and, with a device context, draws) `document` in `area`. Returns
// the boxes of the fields and frames, innermost last.
std::vector<FieldBox> LayoutPage(HDC dc, CHtmlDocument* document, const RECT& area, const Node* focused, bool draw);

}  // namespace vnl::browser
