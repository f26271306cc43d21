#include "file/base64.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

using namespace std::string_literals;

struct Vector {
    const char* plain;
    const char* encoded;
};

// RFC 4648, section 10.
constexpr Vector kRfc4648[] = {
    {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(Base64, Rfc4648VectorsBothWays)
{
    for (const Vector& v : kRfc4648) {
        EXPECT_EQ(encodeBase64(v.plain), v.encoded);
        EXPECT_EQ(decodeBase64(v.encoded), v.plain) << v.encoded;
    }
    EXPECT_EQ(encodeBase64("abc"), "YWJj");
    EXPECT_EQ(encodeBase64("\0"s), "AA==");
}

TEST(Base64Decoder, IgnoresSpacesFullWidthSpacesAndCrLfPairs)
{
    for (std::size_t at = 0; at <= 8; ++at) {
        std::string text = "YWJjYWJj";
        text.insert(at, "\r\n");
        EXPECT_EQ(decodeBase64(text), "abcabc") << at;
        text.insert(at, " ");
        EXPECT_EQ(decodeBase64(text), "abcabc") << at;
    }
    EXPECT_EQ(decodeBase64(" Y W\xA1\xA1Jj "), "abc");
    // A space between CR and LF is removed first, so the pair still goes.
    EXPECT_EQ(decodeBase64("YW\r \nJj"), "abc");
}

TEST(Base64Decoder, MissingPlacesCountAsZeroAndOnlyTheLastGroupShortens)
{
    EXPECT_EQ(decodeBase64("YQ=="), "a");
    EXPECT_EQ(decodeBase64("YQ"), "a\0\0"s);
    EXPECT_EQ(decodeBase64("YWI="), "ab");
    // A last group with nothing decoded also cuts a byte of the group before.
    EXPECT_EQ(decodeBase64("YWJj===="), "ab");
    EXPECT_EQ(decodeBase64("===="), "");
}

TEST(Base64Decoder, KeepsStaleValuesAfterInvalidCharacter)
{
    // "YWJj" fills the entries with 24, 22, 9, 35; in "Y=..." only the first
    // place is replaced, so the group repeats "bc" of "abc" behind the new first byte.
    const std::string out = decodeBase64("YWJjQ=ZZYWJj");
    ASSERT_EQ(out.size(), 9u);
    EXPECT_EQ(out.substr(0, 3), "abc");
    EXPECT_EQ(out.substr(3, 3), "Abc"); // Q = 16: 0x41 = 'A'; W J j stale
    EXPECT_EQ(out.substr(6), "abc");
}

TEST(Base64Decoder, LoneCrOrLfIsAnInvalidCharacter)
{
    // A lone LF, or the CR left of "\r\r\n", ends the middle group at once:
    // it repeats the stale "abc".
    EXPECT_EQ(decodeBase64("YWJj\nWJjYWJj"), "abcabcabc");
    EXPECT_EQ(decodeBase64("YWJj\r\r\nWJjYWJj"), "abcabcabc");
    // CR CR LF LF: the middle pair goes; CR and LF are left, both invalid.
    EXPECT_EQ(decodeBase64("YWJj\r\r\n\nYWJj").size(), 9u);
}

TEST(Base64, AppendFormsKeepEarlierContent)
{
    std::string out = "xy";
    encodeBase64Append("abc", out);
    EXPECT_EQ(out, "xyYWJj");
    out = "xy";
    decodeBase64Append("====", out);
    EXPECT_EQ(out, "xy");
    decodeBase64Append("YQ==", out);
    EXPECT_EQ(out, "xya");
}

} // namespace
} // namespace ordavel
