// The untrusted-driver warning's message: a format from the resource library
// filled with the product name, the driver name and the product name again.
// No Windows headers: the format and the driver name both come from outside
// (a resource library, the registry), so this is built to be fed anything.
#pragma once

#include <cstddef>

namespace vnl {

// Writes `format` into `out` (`outSize` bytes, outSize > 0), each "%s" in turn
// replaced by the next of `args` (an empty text once all `count` are used)
// and "%%" by "%". Any other '%' is copied as it stands: the format never
// reads anything but these texts, and the arguments are never formats. The
// result is cut to fit and always terminated. Returns its length.
size_t FormatWarningText(const char* format, const char* const* args, size_t count, char* out,
                         size_t outSize) noexcept;

}  // namespace vnl
