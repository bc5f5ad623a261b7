#pragma once
// The font registry over Qt's font database; needs a running QGuiApplication.
#include "app/FontRegistry.h"

namespace vx::qt {

class QtFontRegistry final : public app::FontRegistry {
public:
    bool HasFamily(const std::string& family) const override;
    /// Registers the file for this process only; nothing is installed system-wide.
    std::vector<std::string> AddFontFile(const std::filesystem::path& file) override;
};

}  // namespace vx::qt
