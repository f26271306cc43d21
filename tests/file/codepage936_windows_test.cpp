// The GBK codec against Windows' own code page 936 converter: every
// two-byte code Windows maps reads as the same character and is written back
// to the same bytes.
#include "file/gbk.h"
#include "file/wide_names_windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace ordavel {
namespace {

TEST(GbkAgainstWindows, AgreesWithCodePage936OnEveryTwoByteCode)
{
    int compared = 0;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const char code[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            wchar_t wide[4];
            const int n = ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, code, 2, wide, 4);
            if (n != 1)
                continue; // no character in this system's table
            ++compared;
            const std::string expected = utf8FromWide(std::wstring_view(wide, 1));
            ASSERT_EQ(gbkToUtf8(std::string(code, 2)), expected) << std::hex << (lead << 8 | trail);
            ASSERT_EQ(utf8ToGbk(expected), std::string(code, 2)) << std::hex << (lead << 8 | trail);
        }
    }
    EXPECT_GT(compared, 21000);
}

TEST(GbkAgainstWindows, SingleBytesAsCodePage936ReadsThem)
{
    for (unsigned byte = 0; byte <= 0x80; ++byte) {
        const char c = static_cast<char>(byte);
        wchar_t wide[2];
        ASSERT_EQ(::MultiByteToWideChar(936, 0, &c, 1, wide, 2), 1);
        EXPECT_EQ(gbkToUtf8(std::string(1, c)), utf8FromWide(std::wstring_view(wide, 1))) << byte;
    }
}

} // namespace
} // namespace ordavel
