#pragma once
// The template description's own XML layer: an element tree with attributes,
// its writer and its reader. Byte-oriented and encoding-agnostic: names and
// values are byte strings, passed through unchanged apart from the escapes.
//
// Writer output (serialise):
//   <?xml version="1.0" encoding="gb2312"?>      (no byte-order mark)
//   then every element on a new line: CR LF, one TAB per nesting level (root
//   0), "<" name, each attribute as ` name="escaped value"` in the order set;
//   "/>" for an element without children, else ">" children, CR LF, the same
//   indentation and "</" name ">". No line break after the closing root tag.
//   Escapes: `"` -> "&quote;", `&` -> "&amp;", `'` -> "&apos;", `<` -> "&lt;",
//   `>` -> "&gt;"; every other byte (CR, LF, TAB, bytes >= 0x80) is raw.
//
// Reader (parse) accepts any root name; an XML declaration, processing
// instructions, comments and whitespace around and between elements; text
// and CDATA inside elements (skipped: elements hold no text here); attribute
// values in double or single quotes. Values are decoded from exactly the
// five forms above; "&quot;", numeric references and any other "&...;" stay
// literal, and CR, LF and TAB in values come back unchanged (no
// normalisation). Rejected with a status: missing root, a second root,
// non-whitespace text outside the root, unclosed or mismatched tags, bad
// names, broken or duplicate attributes, a raw "<" in a value, unterminated
// comments/PIs/CDATA and document type declarations (not supported).
//
// Storage: one flat arena of nodes and one of attributes, all names and
// values in one byte pool owned by the document; nodes are addressed by
// XmlNodeId, a dense index in document order (the root is 0). Reader, writer
// and destructor are iterative, so nesting depth is limited only by memory.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

using XmlNodeId = std::uint32_t;
inline constexpr XmlNodeId kXmlNoNode = 0xFFFFFFFFu;

// The XML declaration the writer puts first, exactly.
inline constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"gb2312\"?>";

enum class XmlStatus {
    Ok,
    NoRoot,             // no element at all
    SecondRoot,         // an element after the root element was closed
    StrayText,          // non-whitespace text outside the root element
    BadName,            // an element or attribute name is missing or malformed
    BadAttribute,       // missing "=", quote, closing quote or separating space
    DuplicateAttribute, // the same attribute name twice on one element
    LessThanInValue,    // a raw "<" inside an attribute value
    BadStartTag,        // a start tag not ended by ">" or "/>"
    BadEndTag,          // an end tag not ended by ">", or one without an open element
    MismatchedTag,      // an end tag whose name is not the open element's
    UnclosedElement,    // the text ends while an element is open
    BadMarkup,          // unterminated comment, PI or CDATA; DOCTYPE; "<" at the end
    TooLarge,           // the text is 4 GiB or longer
};

// Short English description of a status, for diagnostics (never shown to users).
const char* describe(XmlStatus status);

struct XmlParseResult {
    XmlStatus status = XmlStatus::Ok;
    std::size_t offset = 0; // byte offset in the parsed text where the fault was found
    explicit operator bool() const { return status == XmlStatus::Ok; }
};

struct XmlAttribute {
    std::string_view name;
    std::string_view value; // unescaped
};

class XmlDocument {
    struct Span {
        std::uint32_t offset;
        std::uint32_t length;
    };
    struct Node {
        Span name;
        XmlNodeId parent;
        XmlNodeId firstChild;
        XmlNodeId lastChild;
        XmlNodeId nextSibling;
        std::uint32_t firstAttribute;
        std::uint32_t lastAttribute;
    };
    struct Attribute {
        Span name;
        Span value;
        std::uint32_t next;
    };

public:
    // Children of one element, in document order (forward range of XmlNodeId).
    class ChildRange {
    public:
        class iterator {
        public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = XmlNodeId;
            using difference_type = std::ptrdiff_t;
            using pointer = const XmlNodeId*;
            using reference = XmlNodeId;
            iterator() = default;
            XmlNodeId operator*() const { return m_node; }
            iterator& operator++();
            iterator operator++(int)
            {
                iterator old = *this;
                ++*this;
                return old;
            }
            bool operator==(const iterator& other) const { return m_node == other.m_node; }

        private:
            friend class ChildRange;
            iterator(const XmlDocument* doc, XmlNodeId node) : m_doc(doc), m_node(node) {}
            const XmlDocument* m_doc = nullptr;
            XmlNodeId m_node = kXmlNoNode;
        };
        iterator begin() const { return iterator(m_doc, m_first); }
        iterator end() const { return iterator(m_doc, kXmlNoNode); }
        bool empty() const { return m_first == kXmlNoNode; }

    private:
        friend class XmlDocument;
        ChildRange(const XmlDocument* doc, XmlNodeId first) : m_doc(doc), m_first(first) {}
        const XmlDocument* m_doc;
        XmlNodeId m_first;
    };

    // Attributes of one element in the order they were set or read.
    class AttributeRange {
    public:
        class iterator {
        public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = XmlAttribute;
            using difference_type = std::ptrdiff_t;
            using pointer = const XmlAttribute*;
            using reference = XmlAttribute;
            iterator() = default;
            XmlAttribute operator*() const;
            iterator& operator++();
            iterator operator++(int)
            {
                iterator old = *this;
                ++*this;
                return old;
            }
            bool operator==(const iterator& other) const { return m_index == other.m_index; }

        private:
            friend class AttributeRange;
            iterator(const XmlDocument* doc, std::uint32_t index) : m_doc(doc), m_index(index) {}
            const XmlDocument* m_doc = nullptr;
            std::uint32_t m_index = kXmlNoNode;
        };
        iterator begin() const { return iterator(m_doc, m_first); }
        iterator end() const { return iterator(m_doc, kXmlNoNode); }
        bool empty() const { return m_first == kXmlNoNode; }

    private:
        friend class XmlDocument;
        AttributeRange(const XmlDocument* doc, std::uint32_t first) : m_doc(doc), m_first(first) {}
        const XmlDocument* m_doc;
        std::uint32_t m_first;
    };

    // An empty document: no root; serialise() gives the declaration alone.
    XmlDocument() = default;
    // A document holding only the root element `rootName`.
    explicit XmlDocument(std::string_view rootName);

    // --- Building. Names must be XML names (letters, digits, "_", ":", "-",
    // ".", bytes >= 0x80; not starting with a digit, "-" or "."), else
    // std::invalid_argument. A node id that is not in the document gives
    // std::out_of_range. Growing the pool or arenas past 4 GiB entries gives
    // std::length_error. Building invalidates string_views handed out before.

    // Discards everything and makes `name` the root element. Returns its id (0).
    XmlNodeId createRoot(std::string_view name);
    // Appends a child element `name` (no attributes) as the last child of `parent`.
    XmlNodeId addChild(XmlNodeId parent, std::string_view name);
    // Sets attribute `name` to `value` (stored unescaped, any bytes). When the
    // element already has that attribute the first value stays and false is
    // returned; otherwise it is appended after the existing ones, true.
    bool setAttribute(XmlNodeId node, std::string_view name, std::string_view value);

    // --- Writing. The format in the comment at the top of this file.
    std::string serialise() const;
    // Appends the same bytes to `out` (reuse a buffer across calls).
    void serialiseTo(std::string& out) const;

    // --- Reading. Replaces the contents with the tree parsed from `text`
    // (which is copied; it may be freed afterwards). On failure the document
    // is left empty and the result names the fault and its byte offset.
    XmlParseResult parse(std::string_view text);
    // The same without the copy: `text` is swapped with the pool and parsed
    // where it lies, so afterwards `text` holds the previous pool (emptied,
    // capacity kept) for the caller to reuse. Node and attribute storage keep
    // their capacity too: reparsing into one document allocates little.
    XmlParseResult parseInPlace(std::string& text);
    // Convenience: a new document, or nothing when `text` is rejected; the
    // status goes to *result when given.
    static std::optional<XmlDocument> fromText(std::string_view text, XmlParseResult* result = nullptr);

    // Back to the empty document; keeps allocated capacity.
    void clear();

    // --- Queries. Never throw: a node id of kXmlNoNode, or one that is not
    // in the document, gives empty results. Views stay valid until the
    // document is next changed or destroyed.
    bool empty() const { return m_nodes.empty(); }
    XmlNodeId root() const { return m_nodes.empty() ? kXmlNoNode : 0; }
    std::size_t nodeCount() const { return m_nodes.size(); }
    std::size_t attributeCount() const { return m_attributes.size(); }

    std::string_view name(XmlNodeId node) const;
    XmlNodeId parent(XmlNodeId node) const;
    XmlNodeId firstChild(XmlNodeId node) const;
    XmlNodeId nextSibling(XmlNodeId node) const;
    ChildRange children(XmlNodeId node) const;
    // The first child element of `node` called `name`, or kXmlNoNode.
    XmlNodeId child(XmlNodeId node, std::string_view name) const;
    // The element at a "/"-separated path of names starting with the root's
    // name, e.g. "Document/boxes/Box3" (first match at each step), or kXmlNoNode.
    XmlNodeId elementAt(std::string_view path) const;

    AttributeRange attributes(XmlNodeId node) const;
    // The unescaped value of attribute `name`, or nothing when absent.
    std::optional<std::string_view> findAttribute(XmlNodeId node, std::string_view name) const;
    // The same, with an absent attribute read as the empty text.
    std::string_view attribute(XmlNodeId node, std::string_view name) const;

    // True when `name` is acceptable as an element or attribute name.
    static bool isName(std::string_view name);

private:
    class Parser;

    bool valid(XmlNodeId node) const { return node < m_nodes.size(); }
    std::string_view view(Span span) const { return {m_text.data() + span.offset, span.length}; }
    XmlNodeId newNode(XmlNodeId parent, std::string_view name);
    // Parses m_text, which holds the text to read.
    XmlParseResult parsePool();

    std::string m_text; // pool of all names and values (the parsed text, decoded in place)
    std::vector<Node> m_nodes;
    std::vector<Attribute> m_attributes;
};

// The iterators step through every attribute of every element of a load:
// defined here so that the walk inlines.
inline XmlDocument::ChildRange::iterator& XmlDocument::ChildRange::iterator::operator++()
{
    m_node = m_doc->m_nodes[m_node].nextSibling;
    return *this;
}

inline XmlAttribute XmlDocument::AttributeRange::iterator::operator*() const
{
    const Attribute& a = m_doc->m_attributes[m_index];
    return XmlAttribute{m_doc->view(a.name), m_doc->view(a.value)};
}

inline XmlDocument::AttributeRange::iterator& XmlDocument::AttributeRange::iterator::operator++()
{
    m_index = m_doc->m_attributes[m_index].next;
    return *this;
}

} // namespace ordavel
