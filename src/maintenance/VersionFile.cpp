#include "maintenance/VersionFile.h"

#include "platform/CIni.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace vx::maintenance {

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;
constexpr std::size_t kMaxUrl = 99;
constexpr std::size_t kMaxNotes = 1023;

// Cut at a character boundary so that a multi-byte character is never split.
std::string CutUtf8(std::string text, std::size_t maximum) {
    if (text.size() <= maximum) return text;
    std::size_t end = maximum;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

}  // namespace

VersionInfo ReadVersionFile(const std::filesystem::path& file) {
    VersionInfo info;
    std::ifstream in(file, std::ios::binary);
    if (!in) return info;
    std::string bytes;
    bytes.resize(kMaxFileBytes + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxFileBytes) return info;

    tuning::CIni ini;
    if (!ini.Parse(tuning::CIni::FromUtf8(bytes))) return info;
    ini.GetInt("Version", "Version", info.version);
    info.url = CutUtf8(ini.GetUtf8("URL", "URL").value_or(""), kMaxUrl);
    info.notes = SplitNotes(CutUtf8(ini.GetUtf8("INFO", "INFO").value_or(""), kMaxNotes));
    return info;
}

std::vector<std::string> SplitNotes(std::string_view notes) {
    std::vector<std::string> lines;
    std::size_t bar = notes.find('|');
    while (bar != std::string_view::npos) {
        const std::size_t next = notes.find('|', bar + 1);
        lines.emplace_back(notes.substr(bar + 1, next == std::string_view::npos ? std::string_view::npos : next - bar - 1));
        bar = next;
    }
    return lines;
}

bool IsWebAddress(std::string_view url) {
    std::string lower(url.substr(0, 8));
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

}  // namespace vx::maintenance
