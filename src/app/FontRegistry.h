#pragma once
// The system's font list, as far as the interface's faces need it.
#include <filesystem>
#include <string>
#include <vector>

namespace vx::app {

class FontRegistry {
public:
    virtual ~FontRegistry() = default;
    /// True when the system already offers a family of this name (letters compared without
    /// regard to case).
    virtual bool HasFamily(const std::string& family) const = 0;
    /// Makes a font file available to this process. The families the file brings, in the
    /// file's order; empty when it could not be added.
    virtual std::vector<std::string> AddFontFile(const std::filesystem::path& file) = 0;
};

}  // namespace vx::app
