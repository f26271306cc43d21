#include "file/xml.h"

#include <functional>
#include <limits>
#include <stdexcept>

namespace ordavel {

namespace {

constexpr std::uint32_t kNone = kXmlNoNode;
// Largest pool size and arena count; kNone stays free as the "none" marker.
constexpr std::size_t kMaxEntries = std::numeric_limits<std::uint32_t>::max() - 1;

bool isNameStart(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool isNameChar(unsigned char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

} // namespace

const char* describe(XmlStatus status)
{
    switch (status) {
    case XmlStatus::Ok: return "no error";
    case XmlStatus::NoRoot: return "no root element";
    case XmlStatus::SecondRoot: return "element after the root element";
    case XmlStatus::StrayText: return "text outside the root element";
    case XmlStatus::BadName: return "missing or malformed name";
    case XmlStatus::BadAttribute: return "malformed attribute";
    case XmlStatus::DuplicateAttribute: return "duplicate attribute";
    case XmlStatus::LessThanInValue: return "'<' in attribute value";
    case XmlStatus::BadStartTag: return "malformed start tag";
    case XmlStatus::BadEndTag: return "malformed or unexpected end tag";
    case XmlStatus::MismatchedTag: return "end tag does not match the open element";
    case XmlStatus::UnclosedElement: return "element not closed";
    case XmlStatus::BadMarkup: return "unterminated or unsupported markup";
    case XmlStatus::TooLarge: return "text too large";
    }
    return "unknown status";
}

bool XmlDocument::isName(std::string_view name)
{
    if (name.empty() || !isNameStart(static_cast<unsigned char>(name.front())))
        return false;
    for (char c : name)
        if (!isNameChar(static_cast<unsigned char>(c)))
            return false;
    return true;
}

XmlDocument::XmlDocument(std::string_view rootName)
{
    createRoot(rootName);
}

void XmlDocument::clear()
{
    m_text.clear();
    m_nodes.clear();
    m_attributes.clear();
}

XmlNodeId XmlDocument::createRoot(std::string_view name)
{
    if (!isName(name))
        throw std::invalid_argument("XmlDocument: invalid element name");
    // `name` may point into the pool that is about to be cleared.
    std::string copy(name);
    clear();
    return newNode(kNone, copy);
}

XmlNodeId XmlDocument::addChild(XmlNodeId parent, std::string_view name)
{
    if (!valid(parent))
        throw std::out_of_range("XmlDocument: no such element");
    if (!isName(name))
        throw std::invalid_argument("XmlDocument: invalid element name");
    return newNode(parent, name);
}

XmlNodeId XmlDocument::newNode(XmlNodeId parentId, std::string_view name)
{
    if (m_nodes.size() >= kMaxEntries || m_text.size() + name.size() > kMaxEntries)
        throw std::length_error("XmlDocument: too many elements");
    const std::less<const char*> before;
    const char* pool = m_text.data();
    std::uint32_t offset = static_cast<std::uint32_t>(m_text.size());
    if (!before(name.data(), pool) && before(name.data(), pool + m_text.size())) {
        // The name lies in our own pool already: reuse it.
        offset = static_cast<std::uint32_t>(name.data() - pool);
    } else {
        m_text.append(name);
    }
    const auto id = static_cast<XmlNodeId>(m_nodes.size());
    m_nodes.push_back(Node{{offset, static_cast<std::uint32_t>(name.size())}, parentId, kNone, kNone, kNone, kNone, kNone});
    if (parentId != kNone) {
        Node& p = m_nodes[parentId];
        if (p.lastChild == kNone)
            p.firstChild = id;
        else
            m_nodes[p.lastChild].nextSibling = id;
        p.lastChild = id;
    }
    return id;
}

bool XmlDocument::setAttribute(XmlNodeId node, std::string_view name, std::string_view value)
{
    if (!valid(node))
        throw std::out_of_range("XmlDocument: no such element");
    if (!isName(name))
        throw std::invalid_argument("XmlDocument: invalid attribute name");
    for (std::uint32_t a = m_nodes[node].firstAttribute; a != kNone; a = m_attributes[a].next)
        if (view(m_attributes[a].name) == name)
            return false;
    if (m_attributes.size() >= kMaxEntries || m_text.size() + name.size() + value.size() > kMaxEntries)
        throw std::length_error("XmlDocument: too many attributes");

    // Either view may point into the pool; appending could move it, so
    // resolve such views to offsets first.
    const std::less<const char*> before;
    const char* pool = m_text.data();
    const std::size_t poolSize = m_text.size();
    auto inPool = [&](std::string_view s) {
        return !s.empty() && !before(s.data(), pool) && before(s.data(), pool + poolSize);
    };
    Span nameSpan{0, static_cast<std::uint32_t>(name.size())};
    Span valueSpan{0, static_cast<std::uint32_t>(value.size())};
    if (inPool(name)) {
        nameSpan.offset = static_cast<std::uint32_t>(name.data() - pool);
    } else {
        nameSpan.offset = static_cast<std::uint32_t>(m_text.size());
        m_text.append(name);
    }
    if (inPool(value)) {
        valueSpan.offset = static_cast<std::uint32_t>(value.data() - pool);
    } else {
        valueSpan.offset = static_cast<std::uint32_t>(m_text.size());
        m_text.append(value);
    }

    const auto id = static_cast<std::uint32_t>(m_attributes.size());
    m_attributes.push_back(Attribute{nameSpan, valueSpan, kNone});
    Node& n = m_nodes[node];
    if (n.lastAttribute == kNone)
        n.firstAttribute = id;
    else
        m_attributes[n.lastAttribute].next = id;
    n.lastAttribute = id;
    return true;
}

std::optional<XmlDocument> XmlDocument::fromText(std::string_view text, XmlParseResult* result)
{
    XmlDocument doc;
    const XmlParseResult r = doc.parse(text);
    if (result)
        *result = r;
    if (!r)
        return std::nullopt;
    return doc;
}

std::string_view XmlDocument::name(XmlNodeId node) const
{
    return valid(node) ? view(m_nodes[node].name) : std::string_view();
}

XmlNodeId XmlDocument::parent(XmlNodeId node) const
{
    return valid(node) ? m_nodes[node].parent : kNone;
}

XmlNodeId XmlDocument::firstChild(XmlNodeId node) const
{
    return valid(node) ? m_nodes[node].firstChild : kNone;
}

XmlNodeId XmlDocument::nextSibling(XmlNodeId node) const
{
    return valid(node) ? m_nodes[node].nextSibling : kNone;
}

XmlDocument::ChildRange XmlDocument::children(XmlNodeId node) const
{
    return ChildRange(this, firstChild(node));
}

XmlNodeId XmlDocument::child(XmlNodeId node, std::string_view childName) const
{
    for (XmlNodeId c = firstChild(node); c != kNone; c = m_nodes[c].nextSibling)
        if (view(m_nodes[c].name) == childName)
            return c;
    return kNone;
}

XmlNodeId XmlDocument::elementAt(std::string_view path) const
{
    if (m_nodes.empty())
        return kNone;
    XmlNodeId node = kNone;
    for (;;) {
        const std::size_t slash = path.find('/');
        const std::string_view step = path.substr(0, slash);
        if (node == kNone)
            node = view(m_nodes[0].name) == step ? 0 : kNone;
        else
            node = child(node, step);
        if (node == kNone || slash == std::string_view::npos)
            return node;
        path.remove_prefix(slash + 1);
    }
}

XmlDocument::AttributeRange XmlDocument::attributes(XmlNodeId node) const
{
    return AttributeRange(this, valid(node) ? m_nodes[node].firstAttribute : kNone);
}

std::optional<std::string_view> XmlDocument::findAttribute(XmlNodeId node, std::string_view attributeName) const
{
    if (!valid(node))
        return std::nullopt;
    for (std::uint32_t a = m_nodes[node].firstAttribute; a != kNone; a = m_attributes[a].next)
        if (view(m_attributes[a].name) == attributeName)
            return view(m_attributes[a].value);
    return std::nullopt;
}

std::string_view XmlDocument::attribute(XmlNodeId node, std::string_view attributeName) const
{
    return findAttribute(node, attributeName).value_or(std::string_view());
}

} // namespace ordavel
