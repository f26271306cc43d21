#include "file/xml.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <limits>
#include <unordered_set>

namespace ordavel {

namespace {

constexpr std::uint32_t kNone = kXmlNoNode;
// Largest text whose offsets and lengths fit the 32-bit spans (kNone stays free).
constexpr std::size_t kMaxText = std::numeric_limits<std::uint32_t>::max() - 1;
// Elements with more attributes than this check duplicates through a hash set.
constexpr std::uint32_t kLinearDuplicateCheck = 64;

enum CharClass : std::uint8_t {
    kSpace = 1,      // TAB, LF, CR, space
    kNameStart = 2,  // letters, "_", ":", bytes >= 0x80
    kNameChar = 4,   // kNameStart plus digits, "-", "."
    kValueStop = 8,  // bytes that end a run of plain value bytes: quotes, "&", "<", NUL
};

constexpr std::array<std::uint8_t, 256> makeClasses()
{
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        std::uint8_t k = 0;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            k |= kSpace;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80)
            k |= kNameStart | kNameChar;
        if ((c >= '0' && c <= '9') || c == '-' || c == '.')
            k |= kNameChar;
        if (c == '"' || c == '\'' || c == '&' || c == '<' || c == '\0')
            k |= kValueStop;
        table[static_cast<std::size_t>(c)] = k;
    }
    return table;
}
constexpr std::array<std::uint8_t, 256> kClass = makeClasses();

inline bool is(char c, CharClass k)
{
    return (kClass[static_cast<unsigned char>(c)] & k) != 0;
}

bool startsWith(const char* p, const char* end, std::string_view s)
{
    return static_cast<std::size_t>(end - p) >= s.size() && std::memcmp(p, s.data(), s.size()) == 0;
}

// Position just after the first `terminator` at or after p, or nullptr.
const char* skipPast(const char* p, const char* end, std::string_view terminator)
{
    const std::string_view rest(p, static_cast<std::size_t>(end - p));
    const std::size_t at = rest.find(terminator);
    return at == std::string_view::npos ? nullptr : p + at + terminator.size();
}

} // namespace

// One pass over the pool (a private copy of the text). Names stay where they
// are; values are unescaped in place, which only ever shrinks them, so every
// name and value is a span of the pool. The open elements form a chain
// through the parent links, so nesting costs no stack.
//
// When the text ends inside a construct the status names that construct:
// a PI, comment or CDATA section (BadMarkup), a lone "<" (BadMarkup), a start
// tag (BadStartTag; inside an attribute BadAttribute), an end tag
// (BadEndTag), element content (UnclosedElement), or nothing yet (NoRoot).
//
// The pool is a std::string, so *m_end is its terminating NUL, which is in no
// byte class but kValueStop: the scans of a start tag stop there without a
// bounds check, and a NUL inside a value is only looked at when it stops a run.
class XmlDocument::Parser {
public:
    explicit Parser(XmlDocument& doc) : m_doc(doc) {}

    XmlParseResult run()
    {
        char* const begin = m_doc.m_text.data();
        m_begin = begin;
        m_end = begin + m_doc.m_text.size();
        char* p = begin;
        XmlNodeId current = kNone; // innermost open element
        bool rootDone = false;

        while (p != m_end) {
            if (is(*p, kSpace)) {
                ++p;
                continue;
            }
            if (*p != '<') {
                if (current == kNone)
                    return fail(XmlStatus::StrayText, p);
                // Text inside an element is skipped: elements hold no text here.
                const void* lt = std::memchr(p, '<', static_cast<std::size_t>(m_end - p));
                p = lt ? static_cast<char*>(const_cast<void*>(lt)) : m_end;
                continue;
            }
            if (p + 1 == m_end)
                return fail(XmlStatus::BadMarkup, p);
            const char next = p[1];
            if (next == '?') {
                const char* after = skipPast(p + 2, m_end, "?>");
                if (!after)
                    return fail(XmlStatus::BadMarkup, p);
                p += after - p;
                continue;
            }
            if (next == '!') {
                const char* after = nullptr;
                if (startsWith(p, m_end, "<!--")) {
                    after = skipPast(p + 4, m_end, "-->");
                } else if (startsWith(p, m_end, "<![CDATA[")) {
                    if (current == kNone)
                        return fail(XmlStatus::StrayText, p);
                    after = skipPast(p + 9, m_end, "]]>");
                }
                // Also document type declarations, which are not supported.
                if (!after)
                    return fail(XmlStatus::BadMarkup, p);
                p += after - p;
                continue;
            }
            if (next == '/') {
                if (current == kNone)
                    return fail(XmlStatus::BadEndTag, p);
                char* q = p + 2;
                const char* nameStart = q;
                while (q != m_end && is(*q, kNameChar))
                    ++q;
                const std::string_view name(nameStart, static_cast<std::size_t>(q - nameStart));
                while (q != m_end && is(*q, kSpace))
                    ++q;
                if (q == m_end)
                    return fail(XmlStatus::BadEndTag, p);
                if (name.empty() || !is(name.front(), kNameStart))
                    return fail(XmlStatus::BadName, nameStart);
                if (*q != '>')
                    return fail(XmlStatus::BadEndTag, q);
                if (name != m_doc.view(m_doc.m_nodes[current].name))
                    return fail(XmlStatus::MismatchedTag, nameStart);
                current = m_doc.m_nodes[current].parent;
                rootDone = current == kNone;
                p = q + 1;
                continue;
            }
            if (rootDone)
                return fail(XmlStatus::SecondRoot, p);
            XmlNodeId node = kNone;
            bool open = false;
            const XmlParseResult tag = startTag(p, current, node, open);
            if (!tag)
                return tag;
            if (open)
                current = node;
            else if (current == kNone)
                rootDone = true;
        }
        if (current != kNone)
            return fail(XmlStatus::UnclosedElement, m_end);
        if (!rootDone)
            return fail(XmlStatus::NoRoot, m_end);
        return {};
    }

private:
    XmlParseResult fail(XmlStatus status, const char* at) const
    {
        return {status, static_cast<std::size_t>(at - m_begin)};
    }

    Span span(const char* from, const char* to) const
    {
        return {static_cast<std::uint32_t>(from - m_begin), static_cast<std::uint32_t>(to - from)};
    }

    // Parses the start tag at p (*p == '<'), adds its element under `parent`
    // and moves p past it. `open` tells whether the element has content
    // (">") or is empty ("/>").
    XmlParseResult startTag(char*& p, XmlNodeId parent, XmlNodeId& node, bool& open)
    {
        char* q = p + 1;
        const char* nameStart = q;
        while (is(*q, kNameChar))
            ++q;
        if (q == m_end)
            return fail(XmlStatus::BadStartTag, p);
        if (q == nameStart || !is(*nameStart, kNameStart) || !(is(*q, kSpace) || *q == '/' || *q == '>'))
            return fail(XmlStatus::BadName, nameStart);
        node = appendNode(parent, span(nameStart, q));

        std::uint32_t count = 0;
        if (!m_seen.empty())
            m_seen.clear();
        for (;;) {
            const char* beforeSpace = q;
            while (is(*q, kSpace))
                ++q;
            if (q == m_end)
                return fail(XmlStatus::BadStartTag, p);
            if (*q == '>') {
                open = true;
                p = q + 1;
                return {};
            }
            if (*q == '/') {
                if (q + 1 == m_end || q[1] != '>')
                    return fail(XmlStatus::BadStartTag, q);
                open = false;
                p = q + 2;
                return {};
            }
            if (q == beforeSpace)
                return fail(is(*q, kNameStart) ? XmlStatus::BadAttribute : XmlStatus::BadStartTag, q);

            // name = "value" (or 'value'), with optional spaces around "=".
            const char* attrStart = q;
            while (is(*q, kNameChar))
                ++q;
            if (q == m_end)
                return fail(XmlStatus::BadAttribute, attrStart);
            if (q == attrStart || !is(*attrStart, kNameStart))
                return fail(XmlStatus::BadName, attrStart);
            const Span nameSpan = span(attrStart, q);
            while (is(*q, kSpace))
                ++q;
            if (q == m_end || *q != '=')
                return fail(XmlStatus::BadAttribute, q);
            ++q;
            while (is(*q, kSpace))
                ++q;
            if (q == m_end || (*q != '"' && *q != '\''))
                return fail(XmlStatus::BadAttribute, q);
            Span valueSpan{};
            const XmlParseResult value = readValue(q, valueSpan);
            if (!value)
                return value;
            if (isDuplicate(node, nameSpan, count))
                return fail(XmlStatus::DuplicateAttribute, attrStart);
            appendAttribute(node, nameSpan, valueSpan);
            ++count;
        }
    }

    // Reads the quoted value at q (*q is the quote), unescaping it in place,
    // and moves q past the closing quote.
    XmlParseResult readValue(char*& q, Span& out)
    {
        const char quote = *q;
        char* r = q + 1;
        char* w = r; // write position; trails r once an escape was shortened
        char* const valueStart = r;
        for (;;) {
            char* run = r;
            while (!is(*r, kValueStop))
                ++r;
            if (w != run)
                std::memmove(w, run, static_cast<std::size_t>(r - run));
            w += r - run;
            if (r == m_end)
                return fail(XmlStatus::BadAttribute, q);
            const char c = *r;
            if (c == quote)
                break;
            if (c == '<')
                return fail(XmlStatus::LessThanInValue, r);
            char decoded = c; // the other quote, a NUL, or "&" that starts none of the five forms
            std::size_t used = 1;
            if (c == '&') {
                if (startsWith(r, m_end, "&quote;")) {
                    decoded = '"';
                    used = 7;
                } else if (startsWith(r, m_end, "&amp;")) {
                    decoded = '&';
                    used = 5;
                } else if (startsWith(r, m_end, "&apos;")) {
                    decoded = '\'';
                    used = 6;
                } else if (startsWith(r, m_end, "&lt;")) {
                    decoded = '<';
                    used = 4;
                } else if (startsWith(r, m_end, "&gt;")) {
                    decoded = '>';
                    used = 4;
                }
            }
            *w++ = decoded;
            r += used;
        }
        out = span(valueStart, w);
        q = r + 1;
        return {};
    }

    // A 256-bit filter of the names seen on the current element spares the
    // scan in the usual case of distinct names. The slot mixes the length and
    // the first two and the last byte: the short names of one element often
    // share their first or last letter.
    static unsigned filterSlot(std::string_view n)
    {
        const auto byte = [&n](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(n[i])); };
        const std::uint32_t bytes = byte(0) | (n.size() > 1 ? byte(1) : 0u) << 8 | byte(n.size() - 1) << 16;
        const std::uint32_t h = static_cast<std::uint32_t>(n.size()) * 0x9E3779B1u ^ bytes * 0x85EBCA77u;
        return h >> 24;
    }

    // Called for every attribute: the filter test inlines, the scans do not.
    bool isDuplicate(XmlNodeId node, Span name, std::uint32_t count)
    {
        const std::string_view n = m_doc.view(name);
        if (count >= kLinearDuplicateCheck)
            return seenBefore(node, n);
        if (count == 0)
            m_filter = {};
        const unsigned slot = filterSlot(n);
        std::uint64_t& word = m_filter[slot >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (slot & 63u);
        const bool maybe = (word & bit) != 0;
        word |= bit;
        return maybe && hasAttribute(node, n);
    }

    [[gnu::noinline]] bool hasAttribute(XmlNodeId node, std::string_view n) const
    {
        for (std::uint32_t a = m_doc.m_nodes[node].firstAttribute; a != kNone; a = m_doc.m_attributes[a].next)
            if (m_doc.view(m_doc.m_attributes[a].name) == n)
                return true;
        return false;
    }

    // Many attributes on one element: keep the check linear overall.
    [[gnu::noinline]] bool seenBefore(XmlNodeId node, std::string_view n)
    {
        if (m_seen.empty())
            for (std::uint32_t a = m_doc.m_nodes[node].firstAttribute; a != kNone; a = m_doc.m_attributes[a].next)
                m_seen.insert(m_doc.view(m_doc.m_attributes[a].name));
        return !m_seen.insert(n).second;
    }

    XmlNodeId appendNode(XmlNodeId parent, Span name)
    {
        const auto id = static_cast<XmlNodeId>(m_doc.m_nodes.size());
        m_doc.m_nodes.push_back(Node{name, parent, kNone, kNone, kNone, kNone, kNone});
        if (parent != kNone) {
            Node& p = m_doc.m_nodes[parent];
            if (p.lastChild == kNone)
                p.firstChild = id;
            else
                m_doc.m_nodes[p.lastChild].nextSibling = id;
            p.lastChild = id;
        }
        return id;
    }

    void appendAttribute(XmlNodeId node, Span name, Span value)
    {
        const auto id = static_cast<std::uint32_t>(m_doc.m_attributes.size());
        m_doc.m_attributes.push_back(Attribute{name, value, kNone});
        Node& n = m_doc.m_nodes[node];
        if (n.lastAttribute == kNone)
            n.firstAttribute = id;
        else
            m_doc.m_attributes[n.lastAttribute].next = id;
        n.lastAttribute = id;
    }

    XmlDocument& m_doc;
    char* m_begin = nullptr;
    char* m_end = nullptr;
    std::unordered_set<std::string_view> m_seen;
    std::array<std::uint64_t, 4> m_filter{};
};

XmlParseResult XmlDocument::parse(std::string_view text)
{
    if (text.size() > kMaxText) {
        clear();
        return {XmlStatus::TooLarge, 0};
    }
    // `text` may be a view into our own pool; copy before clearing it.
    const std::less<const char*> before;
    const char* pool = m_text.data();
    if (!text.empty() && !before(text.data(), pool) && before(text.data(), pool + m_text.size())) {
        std::string copy(text);
        clear();
        m_text.swap(copy);
    } else {
        clear();
        m_text.assign(text);
    }
    return parsePool();
}

XmlParseResult XmlDocument::parseInPlace(std::string& text)
{
    clear();
    if (text.size() > kMaxText)
        return {XmlStatus::TooLarge, 0};
    m_text.swap(text);
    return parsePool();
}

XmlParseResult XmlDocument::parsePool()
{
    // Every element needs a "<" and at least 4 bytes ("<a/>"), every
    // attribute an "=" and at least 5 bytes (` a=""`), so these bound the
    // arenas; reserving them spares the copies of growing.
    // Both counts in one pass over the text.
    std::size_t elements = 0;
    std::size_t attributes = 0;
    for (const char c : m_text) {
        elements += c == '<';
        attributes += c == '=';
    }
    m_nodes.reserve(std::min(elements, m_text.size() / 4));
    m_attributes.reserve(std::min(attributes, m_text.size() / 5));
    const XmlParseResult result = Parser(*this).run();
    if (!result)
        clear();
    return result;
}

} // namespace ordavel
