// Reading a module's version resource, as the system's version services see it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bench {

struct VersionInfo {
    std::string fileVersion;     // "a.b.c.d" from the fixed part
    std::string productVersion;  // "a.b.c.d" from the fixed part
    // A value of the first string block ("InternalName", ...), empty if absent.
    std::string String(const std::string& name) const;

    std::string block;                // the first translation's block, e.g. "040904b0"
    std::vector<unsigned char> data;  // the whole resource
};

// Nothing when the file has no version resource.
std::optional<VersionInfo> ReadVersionInfo(const std::string& path);

}  // namespace bench
