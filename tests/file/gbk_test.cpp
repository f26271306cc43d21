#include "file/gbk.h"

#include <gtest/gtest.h>

#ifndef _WIN32 // glibc's converter
#include <iconv.h>
#endif

#include <cerrno>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ordavel {
namespace {

std::string utf8(char32_t cp)
{
    std::string out;
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
    return out;
}

std::string bytes(unsigned code)
{
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// Decodes a copy of `in` held in a heap block of exactly its size, so that a
// read past the end is caught by the address sanitizer.
std::string decodeExact(std::string_view in)
{
    auto block = std::make_unique<char[]>(in.size());
    std::copy(in.begin(), in.end(), block.get());
    return gbkToUtf8(std::string_view(block.get(), in.size()));
}

const std::string kFffd = utf8(0xFFFD);

// The two-byte code page 936 table: code -> code point.
const std::map<unsigned, char32_t>& cp936Table()
{
    static const std::map<unsigned, char32_t> table = [] {
        std::map<unsigned, char32_t> t;
        std::ifstream in(ORDAVEL_TEST_DATA "/cp936/cp936-icu.txt");
        unsigned code = 0;
        unsigned cp = 0;
        while (in >> std::hex >> code >> cp)
            t.emplace(code, static_cast<char32_t>(cp));
        return t;
    }();
    return table;
}

#ifndef _WIN32
// The system converter (glibc iconv), converting one whole input; nothing
// when it refuses the input.
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> operator()(std::string in) const
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[64];
        char* src = in.data();
        std::size_t srcLeft = in.size();
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        if (iconv(m_cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0)
            return std::nullopt;
        return std::string(buffer, sizeof buffer - dstLeft);
    }

private:
    iconv_t m_cd;
};
#endif

TEST(Gbk, EveryTwoByteCodeDecodesToItsCharacterAndEncodesBack)
{
    const auto& table = cp936Table();
    ASSERT_EQ(table.size(), 23940u);
    for (const auto& [code, cp] : table) {
        ASSERT_EQ(gbkToUtf8(bytes(code)), utf8(cp)) << std::hex << code;
        ASSERT_EQ(utf8ToGbk(utf8(cp)), bytes(code)) << std::hex << code;
    }
}

TEST(Gbk, SingleBytes)
{
    std::string ascii;
    for (int c = 0; c < 0x80; ++c)
        ascii += static_cast<char>(c);
    EXPECT_EQ(gbkToUtf8(ascii), ascii);
    EXPECT_EQ(utf8ToGbk(ascii), ascii);

    EXPECT_EQ(gbkToUtf8("\x80"), utf8(0x20AC));
    EXPECT_EQ(gbkToUtf8("\xFF"), utf8(0xF8F5));
    EXPECT_EQ(utf8ToGbk(utf8(0x20AC)), "\x80");
    EXPECT_EQ(utf8ToGbk(utf8(0xF8F5)), "\xFF");
}

TEST(Gbk, MixedTextRoundTripsAcrossTheInternalSlices)
{
    // Longer than one conversion slice, with sequences straddling its edges.
    std::string gbk;
    for (int i = 0; i < 30000; ++i)
        gbk += (i % 3 == 0) ? std::string("\xD6\xD0\xCE\xC4") : std::string("ab\x80");
    gbk += "\x94\x39\xFC\x36";
    const std::string text = gbkToUtf8(gbk);
    EXPECT_EQ(utf8ToGbk(text), gbk);

    std::string appended = "x";
    gbkToUtf8("\xD6\xD0", appended);
    EXPECT_EQ(appended, "x\xE4\xB8\xAD");
}

TEST(Gbk, BrokenOrTruncatedInputBecomesReplacementWithoutOverreading)
{
    // A lone lead byte at the end.
    EXPECT_EQ(decodeExact("a\x81"), "a" + kFffd);
    EXPECT_EQ(decodeExact("\xFE"), kFffd);
    // Invalid trail bytes: the lead becomes U+FFFD and the next byte is read on its own.
    EXPECT_EQ(decodeExact("\x81\x7F"), kFffd + "\x7F");
    EXPECT_EQ(decodeExact("\x81\xFF"), kFffd + utf8(0xF8F5));
    EXPECT_EQ(decodeExact("\xB0\x22x"), kFffd + "\"x");
    // Four-byte sequences cut off at each length.
    EXPECT_EQ(decodeExact("\x81\x30"), kFffd + "0");
    EXPECT_EQ(decodeExact("\x81\x30\x81"), kFffd + "0" + kFffd);
    EXPECT_EQ(decodeExact("\x81\x30\x81\x2A"), kFffd + "0" + kFffd + "*");
    // Well-formed four-byte sequences that name no character: one U+FFFD for all four.
    EXPECT_EQ(decodeExact("\x84\x31\xA5\x30"), kFffd);
    EXPECT_EQ(decodeExact("\x8F\x39\xFE\x39"), kFffd);
    EXPECT_EQ(decodeExact("\xE3\x32\x9A\x36"), kFffd);
    EXPECT_EQ(decodeExact("\xFE\x39\xFE\x39z"), kFffd + "z");
    // The last characters that do exist.
    EXPECT_EQ(decodeExact("\x84\x31\xA4\x39"), utf8(0xFFFF));
    EXPECT_EQ(decodeExact("\xE3\x32\x9A\x35"), utf8(0x10FFFF));
}

TEST(Gbk, CharactersWithoutACodeTravelAsFourByteSequences)
{
    const struct {
        char32_t cp;
        const char* gb18030;
    } rows[] = {
        {0x80, "\x81\x30\x81\x30"},
        {0x1F600, "\x94\x39\xFC\x36"}, // emoji
        {0x20000, "\x95\x32\x82\x36"}, // CJK Extension B
        {0x10000, "\x90\x30\x81\x30"},
        {0x10FFFF, "\xE3\x32\x9A\x35"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(utf8ToGbk(utf8(row.cp)), row.gb18030) << std::hex << static_cast<unsigned>(row.cp);
        EXPECT_EQ(gbkToUtf8(row.gb18030), utf8(row.cp)) << std::hex << static_cast<unsigned>(row.cp);
    }

    // Every four-byte code of the Basic Multilingual Plane reads and writes
    // back, except the private-use characters that also have a two-byte code
    // (and 0xF8F5, the byte 0xFF): those are written in their shorter form.
    int shortened = 0;
    for (unsigned index = 0; index < 39420; ++index) {
        const char seq[4] = {static_cast<char>(0x81 + index / 12600), static_cast<char>(0x30 + index / 1260 % 10),
                             static_cast<char>(0x81 + index / 10 % 126), static_cast<char>(0x30 + index % 10)};
        const std::string_view four(seq, 4);
        const std::string text = gbkToUtf8(four);
        // (Writing back the same bytes also proves no U+FFFD came out, except
        // for 0x8431A437, the code of U+FFFD itself.)
        const std::string written = utf8ToGbk(text);
        if (written != four) {
            ++shortened;
            ASSERT_LT(written.size(), 4u) << index;
            ASSERT_EQ(gbkToUtf8(written), text) << index;
            ASSERT_GE(text, utf8(0xE000)) << index;
            ASSERT_LE(text, utf8(0xF8FF)) << index;
        }
    }
    EXPECT_EQ(shortened, 82);
}

TEST(Gbk, InvalidUtf8BecomesQuestionMarks)
{
    EXPECT_EQ(utf8ToGbk("\x80"), "?");               // stray continuation byte
    EXPECT_EQ(utf8ToGbk("\xC0\xAF"), "??");          // overlong "/"
    EXPECT_EQ(utf8ToGbk("\xE4\xB8"), "?");           // cut short: one '?' for the prefix
    EXPECT_EQ(utf8ToGbk("\xE4\xB8" "A\xE4\xB8\xAD"), "?A\xD6\xD0");
    EXPECT_EQ(utf8ToGbk("\xED\xA0\x80"), "???");     // surrogate
    EXPECT_EQ(utf8ToGbk("\xF4\x90\x80\x80"), "????"); // above U+10FFFF
    EXPECT_EQ(utf8ToGbk("\xF0\x9F\x98"), "?");
    EXPECT_EQ(utf8ToGbk("\xFF\xFE"), "??");
}

#ifndef _WIN32
TEST(GbkAgainstSystemConverter, AgreesWithGlibcOnEveryCodeItMaps)
{
    const Iconv toUtf8("UTF-8", "CP936");
    ASSERT_TRUE(toUtf8.ok());
    int compared = 0;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string code = bytes(lead << 8 | trail);
            const auto expected = toUtf8(code);
            if (!expected)
                continue;
            ++compared;
            ASSERT_EQ(gbkToUtf8(code), *expected) << std::hex << (lead << 8 | trail);
            ASSERT_EQ(utf8ToGbk(*expected), code) << std::hex << (lead << 8 | trail);
        }
    }
    // glibc leaves most user-defined and some symbol codes unmapped.
    EXPECT_GT(compared, 21000);
}

TEST(GbkAgainstSystemConverter, FourByteFormsAreGlibcGb18030)
{
    const Iconv toGb18030("GB18030", "UTF-8");
    ASSERT_TRUE(toGb18030.ok());
    const auto& table = cp936Table();
    std::map<char32_t, bool> hasGbkCode{{0x20AC, true}, {0xF8F5, true}};
    for (const auto& entry : table)
        hasGbkCode[entry.second] = true;
    // glibc follows a later GB18030 edition for a few characters (U+1E3F,
    // U+9FB4.., U+FE10..): it gives them the two-byte codes that code page 936
    // reads as private-use characters. We keep the four-byte forms of the
    // edition our table was made from; both read back here.
    int laterEdition = 0;
    for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
        if ((cp >= 0xD800 && cp <= 0xDFFF) || hasGbkCode.count(cp))
            continue;
        const auto expected = toGb18030(utf8(cp));
        ASSERT_TRUE(expected) << std::hex << static_cast<unsigned>(cp);
        const std::string ours = utf8ToGbk(utf8(cp));
        if (ours.size() == 4 && expected->size() == 2) {
            ++laterEdition;
            const std::string pua = gbkToUtf8(*expected);
            EXPECT_GE(pua, utf8(0xE000)) << std::hex << static_cast<unsigned>(cp);
            EXPECT_LE(pua, utf8(0xF8FF)) << std::hex << static_cast<unsigned>(cp);
            EXPECT_EQ(gbkToUtf8(ours), utf8(cp));
            continue;
        }
        EXPECT_EQ(ours, *expected) << std::hex << static_cast<unsigned>(cp);
    }
    EXPECT_LE(laterEdition, 24);
    for (char32_t cp : {0x10000u, 0x1F600u, 0x20000u, 0x2A6D6u, 0x10FFFFu})
        EXPECT_EQ(utf8ToGbk(utf8(cp)), toGb18030(utf8(cp)).value()) << std::hex << static_cast<unsigned>(cp);
}

#endif

} // namespace
} // namespace ordavel
