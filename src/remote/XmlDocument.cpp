#include "remote/XmlDocument.h"

#include <pugixml.hpp>
#include <sstream>

#include "platform/AtomicFile.h"

namespace vx::remote {
namespace {

void ClearTextsBelow(pugi::xml_node node) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element) ClearTextsBelow(child);
        else if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) child.set_value("");
    }
}

}  // namespace

struct XmlDocument::Impl {
    pugi::xml_document document;

    pugi::xml_node Find(std::string_view path) const {
        if (path.empty() || path.front() != '/') return {};
        return document.first_element_by_path(std::string(path).c_str());
    }
};

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;

bool XmlDocument::Load(const std::filesystem::path& file) {
    const std::optional<std::string> bytes = platform::ReadFileLimited(file, kMaxFileBytes);
    return bytes && LoadBytes(*bytes);
}

bool XmlDocument::LoadBytes(std::string_view bytes) {
    const pugi::xml_parse_result result =
        impl_->document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_declaration);
    return result && impl_->document.document_element();
}

std::optional<std::string> XmlDocument::Text(std::string_view path) const {
    const pugi::xml_node node = impl_->Find(path);
    if (!node) return std::nullopt;
    return std::string(node.text().get());
}

bool XmlDocument::SetText(std::string_view path, std::string_view text) {
    pugi::xml_node node = impl_->Find(path);
    return node && node.text().set(std::string(text).c_str());
}

void XmlDocument::ClearTexts() { ClearTextsBelow(impl_->document); }

bool XmlDocument::Save(const std::filesystem::path& file) const {
    std::ostringstream out;
    impl_->document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return platform::WriteFileAtomically(file, out.str());
}

}  // namespace vx::remote
