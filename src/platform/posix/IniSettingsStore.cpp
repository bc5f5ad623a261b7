#include "platform/posix/IniSettingsStore.h"

#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"

namespace vx::platform {
namespace {

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// Section header: the name between brackets; nothing for other lines.
std::optional<std::string_view> SectionOf(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
    return Trim(t.substr(1, t.size() - 2));
}

struct Entry {
    std::string_view name;
    std::string_view value;
};

std::optional<Entry> EntryOf(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#' || t.front() == '[') return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view name = Trim(t.substr(0, eq));
    if (name.empty()) return std::nullopt;
    return Entry{name, Trim(t.substr(eq + 1))};
}

std::optional<uint32_t> ParseValue(std::string_view text) {
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

bool IsStorableName(std::string_view name) {
    if (name.empty() || Trim(name) != name) return false;
    if (name.front() == '[' || name.front() == ';' || name.front() == '#') return false;
    return name.find_first_of("=\r\n") == std::string_view::npos;
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

namespace {

// The first value of `name` in our section that `convert` accepts.
template <typename Convert>
auto FirstValue(const std::filesystem::path& file, const std::string& name, Convert convert)
    -> decltype(convert(std::string_view())) {
    const std::optional<std::string> content = ReadFileLimited(file, IniSettingsStore::kMaxFileSize);
    if (!content) return std::nullopt;
    bool inSection = false;
    for (const std::string& line : SplitLines(*content)) {
        if (const auto section = SectionOf(line)) {
            inSection = EqualsIgnoringCase(*section, IniSettingsStore::kSection);
            continue;
        }
        if (!inSection) continue;
        const auto entry = EntryOf(line);
        if (!entry || !EqualsIgnoringCase(entry->name, name)) continue;
        if (const auto value = convert(entry->value)) return value;
    }
    return std::nullopt;
}

}  // namespace

std::optional<uint32_t> IniSettingsStore::Read(const std::string& name) const {
    return FirstValue(file_, name, ParseValue);
}

std::optional<std::string> IniSettingsStore::ReadText(const std::string& name) const {
    return FirstValue(file_, name, [](std::string_view text) { return std::optional<std::string>(text); });
}

bool IniSettingsStore::Write(const std::string& name, uint32_t value) {
    if (!IsStorableName(name)) return false;
    std::error_code ec;
    std::vector<std::string> lines;
    if (std::filesystem::exists(file_, ec)) {
        // A file we cannot read is not replaced: its other values would be lost.
        const std::optional<std::string> content = ReadFileLimited(file_, kMaxFileSize);
        if (!content) return false;
        lines = SplitLines(*content);
    } else if (ec) {
        return false;
    }

    // Drop every line of this name in our section and put the new one where the first was,
    // else at the end of the section, else in a new section at the end.
    std::optional<std::size_t> insertAt;
    std::optional<std::size_t> sectionEnd;
    std::vector<std::string> kept;
    kept.reserve(lines.size() + 2);
    bool inSection = false;
    for (const std::string& line : lines) {
        if (const auto section = SectionOf(line)) {
            inSection = EqualsIgnoringCase(*section, kSection);
        } else if (inSection) {
            const auto entry = EntryOf(line);
            if (entry && EqualsIgnoringCase(entry->name, name)) {
                if (!insertAt) insertAt = kept.size();
                continue;
            }
        }
        kept.push_back(line);
        if (inSection && !Trim(line).empty()) sectionEnd = kept.size();
    }

    const std::string newLine = name + "=" + std::to_string(value);
    if (insertAt) {
        kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(*insertAt), newLine);
    } else if (sectionEnd) {
        kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(*sectionEnd), newLine);
    } else {
        if (!kept.empty() && !Trim(kept.back()).empty()) kept.emplace_back();
        kept.push_back(std::string("[") + kSection + "]");
        kept.push_back(newLine);
    }

    std::string content;
    for (const std::string& line : kept) content += line + '\n';
    // A file this store would refuse to read back would lose every value in it.
    if (content.size() > kMaxFileSize) return false;
    if (file_.has_parent_path()) std::filesystem::create_directories(file_.parent_path(), ec);
    return WriteFileAtomically(file_, content);
}

}  // namespace vx::platform
