#include "app/FontSet.h"

#include <cctype>
#include <utility>

namespace vx::app {
namespace {

struct FontRow {
    const char* face;
    int height;
    int weight;
    int escapement;
    int orientation;
    int width;
};

constexpr std::array<FontRow, FontSet::kFontCount> kFonts = {{
    {"arial", 14, 0, 0, 0, 0},
    {"Clockopia", 24, 0, 0, 0, 0},
    {"DS-Digital", 16, 0, 0, 0, 0},
    {"DS-Digital", 18, 0, -100, 900, 0},
    {"arial", 12, 700, 100, 900, 0},
    {"arial", 12, 0, -90, 900, 0},
    {"arial", 12, 0, 60, 900, 0},
    {"Clockopia", 18, 0, 0, 0, 0},
    {"arial", 18, 0, 0, 0, 0},
    {"arial", 18, 0, 2700, 900, 0},
    {"Clockopia", 30, 0, 0, 0, 0},
    {"arial", 16, 0, 0, 0, 0},
    {"DS-Digital", 30, 0, 0, 0, 0},
    {"arial", 20, 0, 0, 0, 0},
    {"arial", 42, 0, 0, 0, 0},
    {"arial", 20, 0, 0, 0, 8},
    {"Clockopia", 40, 0, 0, 0, 0},
    {"Clockopia", 24, 0, 0, 0, 0},
}};

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

const std::array<FontSet::FaceEntry, FontSet::kFaceCount>& FontSet::Faces() {
    static const std::array<FaceEntry, kFaceCount> faces = {{
        {"arial", "Arial.ttf"},
        {"DS-Digital", "DS-DIGI.ttf"},
        {"LcdD", "LCDN.TTF"},
        {"Clockopia", "CLOCKOPIA.TTF"},
    }};
    return faces;
}

FontSet::FontSet(std::filesystem::path fontDir) : fontDir_(std::move(fontDir)) {}

bool FontSet::Install(FontRegistry& registry) {
    const auto& faces = Faces();
    for (size_t i = 0; i < faces.size(); ++i) {
        if (registry.HasFamily(faces[i].face)) continue;
        const std::vector<std::string> added = registry.AddFontFile(fontDir_ / faces[i].file);
        if (added.empty()) return false;
        // The bundled files are free look-alikes whose own family name differs from the face.
        families_[i] = added.front();
    }
    return true;
}

FontDescription FontSet::Font(int number) const {
    if (number < 1 || number > kFontCount) number = 1;
    const FontRow& row = kFonts[static_cast<size_t>(number - 1)];
    FontDescription font;
    font.face = row.face;
    font.family = FamilyFor(row.face);
    font.height = row.height;
    font.weight = row.weight;
    font.escapement = row.escapement;
    font.orientation = row.orientation;
    font.width = row.width;
    return font;
}

std::string FontSet::FamilyFor(const std::string& face) const {
    const auto& faces = Faces();
    for (size_t i = 0; i < faces.size(); ++i) {
        if (SameName(face, faces[i].face)) return families_[i].empty() ? face : families_[i];
    }
    return face;
}

}  // namespace vx::app
