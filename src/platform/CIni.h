#pragma once
// Reader of the settings file format: UTF-16LE text of "[section]" heads and "key=value"
// lines. Names and values are ranges into the loaded text.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::tuning {

class CIni {
public:
    /// Files larger than this are refused (a settings file of ten GPUs is about 20 KB).
    static constexpr std::size_t kMaxFileBytes = 1u << 20;

    /// Reads the whole file (an odd last byte is dropped) and parses it. False when the file
    /// is missing, unreadable, too large, or does not parse.
    bool Load(const std::filesystem::path& path);
    /// Parses UTF-16LE bytes, byte-order mark optional.
    bool ParseBytes(std::string_view bytes);
    /// Parses text: "[" starts a section name, "]" ends it, "=" ends a key, CR or LF ends a
    /// value. A key given a value twice in one section fails the whole parse.
    bool Parse(std::u16string text);

    /// The value of `key` in `section`. Each name matches the first stored name that begins
    /// with it, letters compared without regard to case. None when absent or never ended.
    std::optional<std::u16string> GetString(std::string_view section, std::string_view key) const;
    /// The value as UTF-8; malformed UTF-16 (a lone surrogate) becomes U+FFFD.
    std::optional<std::string> GetUtf8(std::string_view section, std::string_view key) const;
    /// Base-10 leading digits of the value (after blanks and a sign), 0 when there are none,
    /// limited to the 32-bit range. `value` is left as it was when the key is absent.
    bool GetInt(std::string_view section, std::string_view key, int32_t& value) const;

    /// Sections as parsed (tests, diagnostics).
    std::size_t SectionCount() const { return sections_.size(); }

    /// Base-10 conversion of the leading digits, as the reader does it.
    static int32_t ToInt(std::u16string_view text);
    /// UTF-16 to UTF-8, lone surrogates replaced.
    static std::string ToUtf8(std::u16string_view text);
    /// UTF-8 to UTF-16; malformed bytes become U+FFFD.
    static std::u16string FromUtf8(std::string_view text);

private:
    struct Range {
        std::size_t begin = 0;
        std::size_t end = 0;
    };
    struct Key {
        Range name;
        std::optional<Range> value;
    };
    struct Section {
        Range name;
        std::vector<Key> keys;
    };

    std::u16string_view View(Range r) const { return std::u16string_view(text_).substr(r.begin, r.end - r.begin); }
    Range Trimmed(std::size_t begin, std::size_t end) const;
    const Key* Find(std::string_view section, std::string_view key) const;

    std::u16string text_;
    std::vector<Section> sections_;
};

}  // namespace vx::tuning
