#include "common/XmlDocument.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <optional>
#include <pugixml.hpp>
#include <string>

#include "platform/AsciiCase.h"
#include "platform/Log.h"
#include "platform/ReplacementFile.h"
#include "platform/TextCodec.h"

namespace zn {
namespace {

// Comments, processing instructions and the declaration are kept so a saved copy keeps them;
// the DOCTYPE is kept only so that it can be refused.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration |
                                   pugi::parse_doctype | pugi::parse_comments | pugi::parse_pi;
constexpr unsigned kPrintOptions = pugi::format_raw | pugi::format_no_declaration;

std::unique_ptr<pugi::xml_node> Wrap(const pugi::xml_node& node) noexcept {
    return std::unique_ptr<pugi::xml_node>(new (std::nothrow) pugi::xml_node(node));
}

bool IsTextNode(const pugi::xml_node& node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

class TextCollector : public pugi::xml_tree_walker {
public:
    explicit TextCollector(std::string& text) : m_text(text) {}
    bool for_each(pugi::xml_node& node) override {
        if (IsTextNode(node)) {
            m_text += node.value();
        }
        return true;
    }

private:
    std::string& m_text;
};

class StringWriter : public pugi::xml_writer {
public:
    explicit StringWriter(std::string& text) : m_text(text) {}
    void write(const void* data, std::size_t size) override {
        m_text.append(static_cast<const char*>(data), size);
    }

private:
    std::string& m_text;
};

std::string Print(const pugi::xml_node& node) {
    std::string markup;
    StringWriter writer(markup);
    node.print(writer, "", kPrintOptions, pugi::encoding_utf8);
    return markup;
}

// NUL cannot be passed through pugixml's C strings; a name or query holding one is refused.
std::optional<std::string> WithoutNul(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(text);
}

// A query that does not compile (a stray quote) finds nothing.
pugi::xpath_node_set Select(const pugi::xml_node& from, std::string_view xpath) {
    const auto query = WithoutNul(xpath);
    if (!from || !query) {
        return {};
    }
    try {
        pugi::xpath_node_set nodes = from.select_nodes(query->c_str());
        nodes.sort();
        return nodes;
    } catch (...) {
        return {};
    }
}

// The encoding named by a leading declaration, lowercased; empty when there is none.
std::string DeclaredEncoding(std::string_view text) {
    constexpr std::size_t kDeclarationScan = 256;
    if (!text.starts_with("<?xml")) {
        return {};
    }
    const std::string_view head = text.substr(0, std::min(text.size(), kDeclarationScan));
    const std::size_t declarationEnd = head.find("?>");
    const std::size_t name = head.find("encoding");
    if (declarationEnd == std::string_view::npos || name == std::string_view::npos ||
        name > declarationEnd) {
        return {};
    }
    const std::size_t open = head.find_first_of("\"'", name);
    if (open == std::string_view::npos || open > declarationEnd) {
        return {};
    }
    const std::size_t close = head.find(head[open], open + 1);
    if (close == std::string_view::npos || close > declarationEnd) {
        return {};
    }
    return LowercaseAscii(head.substr(open + 1, close - open - 1));
}

bool IsGbkFamily(const std::string& encoding) {
    static constexpr std::array<std::string_view, 6> kNames = {"gb2312", "gbk",   "gb18030",
                                                               "cp936",  "x-gbk", "windows-936"};
    return std::ranges::find(kNames, encoding) != kNames.end();
}

// Save writes UTF-8, so a declaration naming another encoding would mislabel the saved file.
void DeclareUtf8(pugi::xml_document& document) {
    for (pugi::xml_node child : document.children()) {
        if (child.type() == pugi::node_declaration && child.attribute("encoding")) {
            child.attribute("encoding").set_value("UTF-8");
        }
    }
}

bool HasDoctype(const pugi::xml_document& document) {
    return std::ranges::any_of(document.children(), [](const pugi::xml_node& child) {
        return child.type() == pugi::node_doctype;
    });
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, std::size_t maxBytes) {
    // O_NONBLOCK: opening a FIFO must not hang; it is refused below as not a regular file.
    const int handle = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (handle < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > maxBytes) {
        close(handle);
        return std::nullopt;
    }
    // Read into the heap (request workers run on small stacks) and keep to the limit while
    // reading: the file may grow after fstat.
    constexpr std::size_t kChunk = 64 * 1024;
    std::optional<std::string> content(std::in_place);
    std::size_t total = 0;
    while (true) {
        content->resize(total + kChunk);
        const ssize_t got = read(handle, content->data() + total, kChunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 || total + static_cast<std::size_t>(got) > maxBytes) {
            content.reset();
            break;
        }
        if (got == 0) {
            content->resize(total);
            break;
        }
        total += static_cast<std::size_t>(got);
    }
    close(handle);
    return content;
}

}  // namespace

CXmlNode::CXmlNode() = default;
CXmlNode::~CXmlNode() = default;
CXmlNode::CXmlNode(const CXmlNode& other) : m_node(other.m_node ? Wrap(*other.m_node) : nullptr) {}
CXmlNode& CXmlNode::operator=(const CXmlNode& other) {
    if (this != &other) {
        m_node = other.m_node ? Wrap(*other.m_node) : nullptr;
    }
    return *this;
}
CXmlNode::CXmlNode(const pugi::xml_node& node) : m_node(node ? Wrap(node) : nullptr) {}

CXmlNode::operator bool() const {
    return m_node && !m_node->empty();
}

std::string CXmlNode::GetAttribute(std::string_view name) const {
    const auto key = WithoutNul(name);
    if (!*this || !key) {
        return {};
    }
    try {
        return m_node->attribute(key->c_str()).value();
    } catch (...) {
        return {};
    }
}

std::string CXmlNode::Text() const {
    if (!*this) {
        return {};
    }
    try {
        if (IsTextNode(*m_node)) {
            return m_node->value();
        }
        std::string text;
        TextCollector collector(text);
        m_node->traverse(collector);
        // As a DOM's text property reads it: a hand-indented file must not put line breaks
        // into a seat number.
        constexpr std::string_view kWhiteSpace = " \t\r\n";
        const std::size_t first = text.find_first_not_of(kWhiteSpace);
        if (first == std::string::npos) {
            return {};
        }
        return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
    } catch (...) {
        return {};
    }
}

std::string CXmlNode::Xml() const {
    if (!*this) {
        return {};
    }
    try {
        return Print(*m_node);
    } catch (...) {
        return {};
    }
}

CXmlNodeList CXmlNode::SelectNodes(std::string_view xpath) const {
    return *this ? CXmlNodeList(Select(*m_node, xpath)) : CXmlNodeList();
}

CXmlNode CXmlNode::AppendElement(std::string_view name) {
    const auto elementName = WithoutNul(name);
    if (!*this || !elementName || elementName->empty()) {
        return {};
    }
    try {
        pugi::xml_node element = m_node->append_child(pugi::node_element);
        if (!element) {
            return {};
        }
        if (!element.set_name(elementName->c_str())) {
            m_node->remove_child(element);
            return {};
        }
        return CXmlNode(element);
    } catch (...) {
        return {};
    }
}

bool CXmlNode::SetAttribute(std::string_view name, std::string_view value) {
    const auto key = WithoutNul(name);
    if (!*this || m_node->type() != pugi::node_element || !key || key->empty()) {
        return false;
    }
    try {
        pugi::xml_attribute attribute = m_node->attribute(key->c_str());
        if (!attribute) {
            attribute = m_node->append_attribute(key->c_str());
        }
        return attribute && attribute.set_value(std::string(value).c_str());
    } catch (...) {
        return false;
    }
}

bool CXmlNode::SetText(std::string_view text) {
    if (!*this || m_node->type() != pugi::node_element) {
        return false;
    }
    try {
        m_node->remove_children();
        if (text.empty()) {
            return true;
        }
        pugi::xml_node content = m_node->append_child(pugi::node_pcdata);
        return content && content.set_value(std::string(text).c_str());
    } catch (...) {
        return false;
    }
}

CXmlNodeList::CXmlNodeList() = default;
CXmlNodeList::~CXmlNodeList() = default;
CXmlNodeList::CXmlNodeList(CXmlNodeList&&) noexcept = default;
CXmlNodeList& CXmlNodeList::operator=(CXmlNodeList&&) noexcept = default;
CXmlNodeList::CXmlNodeList(pugi::xpath_node_set nodes)
    : m_nodes(new (std::nothrow) pugi::xpath_node_set(std::move(nodes))) {}

long CXmlNodeList::Length() const {
    return m_nodes ? static_cast<long>(m_nodes->size()) : 0;
}

CXmlNode CXmlNodeList::Item(long index) const {
    if (index < 0 || index >= Length()) {
        return {};
    }
    return CXmlNode((*m_nodes)[static_cast<std::size_t>(index)].node());
}

CXmlNode CXmlNodeList::NextNode() {
    if (m_next >= Length()) {
        return {};
    }
    return Item(m_next++);
}

CXmlDocument::CXmlDocument() : m_document(new (std::nothrow) pugi::xml_document) {}
CXmlDocument::~CXmlDocument() = default;

int CXmlDocument::Load(const std::filesystem::path& file) {
    if (!m_document) {
        return kNotCreated;
    }
    try {
        m_document->reset();
        const std::optional<std::string> content = ReadWholeFile(file, kMaxFileBytes);
        if (!content) {
            return kLoadFailed;
        }
        return LoadXml(*content);
    } catch (...) {
        m_document->reset();
        return kLoadFailed;
    }
}

int CXmlDocument::LoadXml(std::string_view text) {
    if (!m_document) {
        return kNotCreated;
    }
    try {
        m_document->reset();
        if (text.size() > kMaxFileBytes) {
            return kLoadFailed;
        }
        pugi::xml_parse_result parsed;
        if (IsGbkFamily(DeclaredEncoding(text))) {
            const std::string utf8 = TextCodec::GbkToUtf8(text);
            parsed = m_document->load_buffer(utf8.data(), utf8.size(), kParseOptions,
                                             pugi::encoding_utf8);
        } else {
            parsed = m_document->load_buffer(text.data(), text.size(), kParseOptions,
                                             pugi::encoding_auto);
        }
        if (!parsed || HasDoctype(*m_document)) {
            m_document->reset();
            return kParseError;
        }
        DeclareUtf8(*m_document);
        return kLoaded;
    } catch (...) {
        m_document->reset();
        return kParseError;
    }
}

bool CXmlDocument::Save(const std::filesystem::path& file) const {
    if (!m_document) {
        return false;
    }
    try {
        const auto replaced = ReplaceFileSafely(file, Print(*m_document));
        if (!replaced) {
            log::Error("Cannot save: {}", replaced.failure);
        }
        return static_cast<bool>(replaced);
    } catch (...) {
        return false;
    }
}

CXmlNodeList CXmlDocument::SelectNodes(std::string_view xpath) const {
    return m_document ? CXmlNodeList(Select(*m_document, xpath)) : CXmlNodeList();
}

CXmlNode CXmlDocument::SelectSingleNode(std::string_view xpath) const {
    const auto query = WithoutNul(xpath);
    if (!m_document || !query) {
        return {};
    }
    try {
        return CXmlNode(m_document->select_node(query->c_str()).node());
    } catch (...) {
        return {};
    }
}

CXmlNode CXmlDocument::DocumentElement() const {
    if (!m_document) {
        return {};
    }
    return CXmlNode(m_document->document_element());
}

}  // namespace zn
