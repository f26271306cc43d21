#include "file/xml.h"

#include <array>

namespace ordavel {

namespace {

// Bytes that the writer escapes in attribute values.
constexpr std::array<bool, 256> makeEscapeTable()
{
    std::array<bool, 256> table{};
    table['"'] = table['&'] = table['\''] = table['<'] = table['>'] = true;
    return table;
}
constexpr std::array<bool, 256> kEscaped = makeEscapeTable();

void appendEscaped(std::string& out, std::string_view value)
{
    const char* p = value.data();
    const char* const end = p + value.size();
    const char* run = p;
    for (; p != end; ++p) {
        if (!kEscaped[static_cast<unsigned char>(*p)])
            continue;
        out.append(run, static_cast<std::size_t>(p - run));
        switch (*p) {
        case '"': out.append("&quote;"); break;
        case '&': out.append("&amp;"); break;
        case '\'': out.append("&apos;"); break;
        case '<': out.append("&lt;"); break;
        default: out.append("&gt;"); break;
        }
        run = p + 1;
    }
    out.append(run, static_cast<std::size_t>(end - run));
}

void appendLineStart(std::string& out, std::size_t depth)
{
    out.append("\r\n", 2);
    out.append(depth, '\t');
}

} // namespace

std::string XmlDocument::serialise() const
{
    std::string out;
    serialiseTo(out);
    return out;
}

void XmlDocument::serialiseTo(std::string& out) const
{
    // Pool bytes, plus per element line break, brackets and a few TABs, plus
    // per attribute space, "=" and quotes; escapes may still grow it.
    out.reserve(out.size() + kXmlDeclaration.size() + m_text.size() + m_nodes.size() * 16 +
                m_attributes.size() * 4);
    out.append(kXmlDeclaration);
    if (m_nodes.empty())
        return;

    // Pre-order walk over the arena links; `depth` is the nesting level of `node`.
    XmlNodeId node = 0;
    std::size_t depth = 0;
    for (;;) {
        const Node& n = m_nodes[node];
        appendLineStart(out, depth);
        out.push_back('<');
        out.append(view(n.name));
        for (std::uint32_t a = n.firstAttribute; a != kXmlNoNode; a = m_attributes[a].next) {
            const Attribute& attr = m_attributes[a];
            out.push_back(' ');
            out.append(view(attr.name));
            out.append("=\"", 2);
            appendEscaped(out, view(attr.value));
            out.push_back('"');
        }
        if (n.firstChild != kXmlNoNode) {
            out.push_back('>');
            node = n.firstChild;
            ++depth;
            continue;
        }
        out.append("/>", 2);
        // Close every element whose last child is done, up to the next sibling.
        for (;;) {
            if (node == 0)
                return;
            const XmlNodeId next = m_nodes[node].nextSibling;
            if (next != kXmlNoNode) {
                node = next;
                break;
            }
            node = m_nodes[node].parent;
            --depth;
            appendLineStart(out, depth);
            out.append("</", 2);
            out.append(view(m_nodes[node].name));
            out.push_back('>');
        }
    }
}

} // namespace ordavel
