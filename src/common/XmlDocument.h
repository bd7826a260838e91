#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace pugi {
class xml_document;
class xml_node;
class xpath_node_set;
}  // namespace pugi

namespace zn {

class CXmlNodeList;

// A node of a CXmlDocument; valid while its document lives and is not reloaded. A null node
// (nothing selected) gives empty texts.
class CXmlNode {
public:
    CXmlNode();
    ~CXmlNode();
    CXmlNode(const CXmlNode&);
    CXmlNode& operator=(const CXmlNode&);

    explicit operator bool() const;
    // A missing attribute gives the empty text.
    std::string GetAttribute(std::string_view name) const;
    // All text below the node, concatenated in document order; for an element, without leading
    // and trailing white space.
    std::string Text() const;
    // The node's markup, without declaration or added white space.
    std::string Xml() const;
    // A query evaluated from this node, in document order; one that does not compile, or a null
    // node, selects nothing.
    CXmlNodeList SelectNodes(std::string_view xpath) const;

    // Building a document (the seat list writer): a null node or false on failure.
    CXmlNode AppendElement(std::string_view name);
    bool SetAttribute(std::string_view name, std::string_view value);
    // Replaces everything below the node with one text.
    bool SetText(std::string_view text);

private:
    friend class CXmlDocument;
    friend class CXmlNodeList;
    explicit CXmlNode(const pugi::xml_node& node);
    std::unique_ptr<pugi::xml_node> m_node;
};

class CXmlNodeList {
public:
    CXmlNodeList();
    ~CXmlNodeList();
    CXmlNodeList(CXmlNodeList&&) noexcept;
    CXmlNodeList& operator=(CXmlNodeList&&) noexcept;

    long Length() const;
    // A null node outside 0..Length()-1, and for a selected attribute.
    CXmlNode Item(long index) const;
    // Walks the list from the start; a null node after the last one.
    CXmlNode NextNode();

private:
    friend class CXmlDocument;
    friend class CXmlNode;
    explicit CXmlNodeList(pugi::xpath_node_set nodes);
    std::unique_ptr<pugi::xpath_node_set> m_nodes;
    long m_next = 0;
};

// The XML document the programs share. Text is UTF-8 both ways. A document with a DOCTYPE is a
// parse error: its DTD could neither be validated against nor applied (entities, defaults).
// Documents declared in GB2312/GBK are read as such; a declared encoding becomes UTF-8, the
// encoding Save writes.
class CXmlDocument {
public:
    static constexpr int kLoaded = 0;
    static constexpr int kNotCreated = -1;
    static constexpr int kLoadFailed = -2;  // no file, unreadable, or over kMaxFileBytes
    static constexpr int kParseError = -3;
    static constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

    CXmlDocument();
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    int Load(const std::filesystem::path& file);
    int LoadXml(std::string_view text);
    // Raw UTF-8, no declaration, no white space between elements. False on failure.
    bool Save(const std::filesystem::path& file) const;

    // A query that does not compile selects nothing.
    CXmlNodeList SelectNodes(std::string_view xpath) const;
    CXmlNode SelectSingleNode(std::string_view xpath) const;
    CXmlNode DocumentElement() const;

private:
    std::unique_ptr<pugi::xml_document> m_document;
};

}  // namespace zn
