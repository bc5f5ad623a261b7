#include "platform/CIni.h"

#include <climits>
#include <utility>

#include "platform/AtomicFile.h"

namespace vx::tuning {
namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr char16_t kReplacement = 0xFFFD;

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// Whether `stored` begins with `asked`, letters compared without regard to case.
bool BeginsWith(std::u16string_view stored, std::string_view asked) {
    if (stored.size() < asked.size()) return false;
    for (std::size_t i = 0; i < asked.size(); ++i)
        if (Fold(stored[i]) != Fold(static_cast<char16_t>(static_cast<unsigned char>(asked[i])))) return false;
    return true;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f'; }

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool CIni::Load(const std::filesystem::path& path) {
    const std::optional<std::string> bytes = platform::ReadFileLimited(path, kMaxFileBytes);
    if (!bytes) {
        text_.clear();
        sections_.clear();
        return false;
    }
    return ParseBytes(*bytes);
}

bool CIni::ParseBytes(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    // An odd last byte is no character.
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[i]);
        const auto hi = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<char16_t>(lo | (hi << 8));
    }
    return Parse(std::move(text));
}

CIni::Range CIni::Trimmed(std::size_t begin, std::size_t end) const {
    while (begin < end && text_[begin] == u' ') ++begin;
    while (end > begin && text_[end - 1] == u' ') --end;
    return {begin, end};
}

bool CIni::Parse(std::u16string text) {
    text_ = std::move(text);
    sections_.clear();
    enum class State { LineStart, SectionName, Key, Value } state = State::LineStart;
    std::size_t start = 0;
    Key* key = nullptr;  // the key whose value is being read

    for (std::size_t i = 0; i < text_.size(); ++i) {
        const char16_t c = text_[i];
        if (c == kByteOrderMark) continue;
        const bool lineEnd = c == u'\r' || c == u'\n';
        switch (state) {
        case State::LineStart:
            if (c == u'[') {
                state = State::SectionName;
                start = i + 1;
            } else if (!lineEnd) {
                state = State::Key;
                start = i;
            }
            break;
        case State::SectionName:
            if (c == u'[') {
                start = i + 1;
            } else if (c == u']') {
                sections_.push_back({Trimmed(start, i), {}});
                state = State::LineStart;
            } else if (lineEnd) {
                state = State::LineStart;
            }
            break;
        case State::Key:
            if (c == u'=' && !sections_.empty()) {
                const Range name = Trimmed(start, i);
                std::vector<Key>& keys = sections_.back().keys;
                key = nullptr;
                for (Key& existing : keys)
                    if (SameName(View(existing.name), View(name))) key = &existing;
                if (!key) {
                    keys.push_back({name, std::nullopt});
                    key = &keys.back();
                }
                state = State::Value;
                start = i + 1;
            } else if (lineEnd) {
                state = State::LineStart;
            }
            break;
        case State::Value:
            if (lineEnd) {
                if (key->value) {
                    // The same key twice: no value can be trusted.
                    sections_.clear();
                    return false;
                }
                key->value = Range{start, i};
                key = nullptr;
                state = State::LineStart;
            }
            break;
        }
    }
    return true;  // a value not ended by CR or LF stays unset
}

const CIni::Key* CIni::Find(std::string_view section, std::string_view key) const {
    for (const Section& s : sections_) {
        if (!BeginsWith(View(s.name), section)) continue;
        for (const Key& k : s.keys)
            if (BeginsWith(View(k.name), key)) return &k;
        return nullptr;  // the first matching section answers
    }
    return nullptr;
}

std::optional<std::u16string> CIni::GetString(std::string_view section, std::string_view key) const {
    const Key* k = Find(section, key);
    if (!k || !k->value) return std::nullopt;
    return std::u16string(View(*k->value));
}

std::optional<std::string> CIni::GetUtf8(std::string_view section, std::string_view key) const {
    const std::optional<std::u16string> value = GetString(section, key);
    if (!value) return std::nullopt;
    return ToUtf8(*value);
}

bool CIni::GetInt(std::string_view section, std::string_view key, int32_t& value) const {
    const Key* k = Find(section, key);
    if (!k || !k->value) return false;
    value = ToInt(View(*k->value));
    return true;
}

int32_t CIni::ToInt(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    int64_t magnitude = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - u'0');
        if (magnitude > limit) magnitude = limit;  // saturates like the C library
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::string CIni::ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::u16string CIni::FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        char32_t cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((cont & 0xC0) != 0x80) valid = false;
            else cp = (cp << 6) | (cont & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
        if (!valid) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

}  // namespace vx::tuning
