#pragma once
// The faces the skinned windows draw with and the 18 fonts made from them.
#include <array>
#include <filesystem>
#include <string>

#include "app/FontRegistry.h"

namespace vx::app {

/// One font of the set, in the units of a logical font: height in pixels, escapement and
/// orientation in tenths of a degree, weight 0 (default) or 100..900, width 0 (default).
struct FontDescription {
    std::string face;    // the face the windows ask for ("arial", "Clockopia", ...)
    std::string family;  // the family to draw with: the bundled file's own, or the face
    int height = 0;
    int weight = 0;
    int escapement = 0;
    int orientation = 0;
    int width = 0;
};

class FontSet {
public:
    static constexpr int kFaceCount = 4;
    static constexpr int kFontCount = 18;

    struct FaceEntry {
        const char* face;
        const char* file;
    };
    /// The faces in installation order with the file that brings each.
    static const std::array<FaceEntry, kFaceCount>& Faces();

    /// `fontDir` holds the bundled font files.
    explicit FontSet(std::filesystem::path fontDir);

    /// Adds the bundled file of every face the system lacks, in table order. False when a file
    /// cannot be added; the faces after it are then left alone.
    bool Install(FontRegistry& registry);

    /// Font `number` of the set, 1..18. A number outside that range gives font 1.
    FontDescription Font(int number) const;
    /// The family to draw `face` with: the registered family after its file was added,
    /// otherwise the face itself.
    std::string FamilyFor(const std::string& face) const;

private:
    std::filesystem::path fontDir_;
    std::array<std::string, kFaceCount> families_;
};

}  // namespace vx::app
