#pragma once
// The XML documents the phone exchanges, loaded and edited in place: elements are found by
// absolute path and only their text changes.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vx::remote {

class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    /// False when the file is missing, larger than kMaxFileBytes or not well-formed XML.
    bool Load(const std::filesystem::path& file);
    bool LoadBytes(std::string_view bytes);
    /// The text of the element at `path` ("/Info/GpuIdex"); nothing when there is no such element.
    std::optional<std::string> Text(std::string_view path) const;
    /// False when there is no such element.
    bool SetText(std::string_view path, std::string_view text);
    /// Empties every text in the document, keeping all elements.
    void ClearTexts();
    /// Replaces the file whole (atomically); false when it could not be written.
    bool Save(const std::filesystem::path& file) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vx::remote
