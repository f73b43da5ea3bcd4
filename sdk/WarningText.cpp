#include "WarningText.h"

namespace vnl {

size_t FormatWarningText(const char* format, const char* const* args, size_t count, char* out,
                         size_t outSize) noexcept {
    if (!out || outSize == 0) return 0;
    size_t length = 0;
    size_t next = 0;
    auto put = [&](char c) {
        if (length + 1 < outSize) out[length++] = c;
    };
    for (const char* p = format ? format : ""; *p && length + 1 < outSize; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            const char* arg = next < count && args[next] ? args[next] : "";
            ++next;
            for (; *arg && length + 1 < outSize; ++arg) put(*arg);
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            put('%');
            ++p;
        } else {
            put(*p);
        }
    }
    out[length] = '\0';
    return length;
}

}  // namespace vnl
