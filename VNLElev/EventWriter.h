// The helper's e command: one entry of the product's event source.
#pragma once

namespace vnl {

// Writes the event that `commandText` (starting at its letter e) describes to
// the Application log under the source "VNLTB". Writes nothing when the source
// cannot be opened, the identifier is not one the product reports, or the
// command is malformed (a count other than 1 or 2, or fewer strings than the
// count announces).
void WriteEventFromCommand(const char* commandText) noexcept;

}  // namespace vnl
