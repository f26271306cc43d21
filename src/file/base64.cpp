#include "file/base64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <algorithm>
#include <cstring>

namespace ordavel {

namespace {

// The word-at-a-time loads and stores below assume little-endian byte order.
static_assert(std::endian::native == std::endian::little);

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kInvalid = 0x80;

// Two output characters per 12 input bits: halves the table look-ups of the encoder.
struct PairTable {
    std::array<char, 4096 * 2> chars{};
    constexpr PairTable()
    {
        for (int i = 0; i < 4096; ++i) {
            chars[static_cast<std::size_t>(2 * i)] = kAlphabet[i >> 6];
            chars[static_cast<std::size_t>(2 * i + 1)] = kAlphabet[i & 63];
        }
    }
};
constexpr PairTable kPairs;

// Six-bit value of each byte, kInvalid for bytes outside the alphabet.
struct ValueTable {
    std::array<std::uint8_t, 256> values{};
    constexpr ValueTable()
    {
        values.fill(kInvalid);
        for (int i = 0; i < 64; ++i)
            values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    }
};
constexpr ValueTable kValues;

inline std::uint8_t valueOf(char c) { return kValues.values[static_cast<unsigned char>(c)]; }

// Removes ASCII spaces and A1 A1 pairs (left to right, no overlap), then CR LF
// pairs in one left-to-right pass over what is left.
std::string stripSpacesAndLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    // True while the last character that survived the space removal is a CR still in out.
    bool afterCr = false;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0x20)
            continue;
        if (c == 0xA1 && i + 1 < n && static_cast<unsigned char>(text[i + 1]) == 0xA1) {
            ++i;
            continue;
        }
        if (c == '\n' && afterCr) {
            out.pop_back();
            afterCr = false;
            continue;
        }
        out.push_back(static_cast<char>(c));
        afterCr = c == '\r';
    }
    return out;
}

// Each character's six bits already shifted to its place in the 24-bit group;
// characters outside the alphabet carry kBadBit, which no valid group has.
constexpr std::uint32_t kBadBit = 0x80000000u;
struct PlacedTables {
    std::array<std::array<std::uint32_t, 256>, 4> places{};
    constexpr PlacedTables()
    {
        for (int place = 0; place < 4; ++place)
            for (int c = 0; c < 256; ++c) {
                const std::uint8_t v = ValueTable().values[static_cast<std::size_t>(c)];
                places[static_cast<std::size_t>(place)][static_cast<std::size_t>(c)] =
                    v == kInvalid ? kBadBit : std::uint32_t{v} << (18 - 6 * place);
            }
    }
};
constexpr PlacedTables kPlaced;

inline std::uint32_t groupBits(const char* s)
{
    const auto& t = kPlaced.places;
    return t[0][static_cast<unsigned char>(s[0])] | t[1][static_cast<unsigned char>(s[1])] |
           t[2][static_cast<unsigned char>(s[2])] | t[3][static_cast<unsigned char>(s[3])];
}

// Writes the three bytes of a group; the fourth byte written is scratch that
// the next group (or the final resize) overwrites, so dst needs one spare byte.
inline void storeGroup(unsigned char* dst, std::uint32_t bits)
{
    const std::uint32_t bigEndian = __builtin_bswap32(bits << 8);
    std::memcpy(dst, &bigEndian, 4);
}

// The decoder's state between groups: the four entries (never cleared) and
// how many characters the last group decoded.
struct DecodeState {
    std::uint32_t entries[4] = {0, 0, 0, 0};
    int lastDecoded = 4;
};

// Group by group with stale entries, for text that needs no more stripping.
// A last short group is filled with "A" (value 0) past the end of the text.
unsigned char* decodeGeneral(std::string_view text, DecodeState& st, unsigned char* dst)
{
    for (std::size_t at = 0; at < text.size(); at += 4) {
        int decoded = 0;
        for (std::size_t place = 0; place < 4; ++place) {
            const std::uint32_t v = at + place < text.size() ? valueOf(text[at + place]) : 0;
            if (v & kInvalid)
                break;
            st.entries[place] = v;
            ++decoded;
        }
        st.lastDecoded = decoded;
        storeGroup(dst, (st.entries[0] << 18) | (st.entries[1] << 12) | (st.entries[2] << 6) | st.entries[3]);
        dst += 3;
    }
    return dst;
}

bool holdsStrippable(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\n' || static_cast<unsigned char>(c) == 0xA1; });
}

} // namespace

void encodeBase64Append(std::string_view bytes, std::string& out)
{
    const std::size_t n = bytes.size();
    if (n == 0)
        return;
    const std::size_t start = out.size();
    out.resize(start + base64EncodedLength(n));
    char* dst = out.data() + start;
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    const char* pairs = kPairs.chars.data();
    std::size_t i = 0;
    // Four bytes read at once (three used) while a fourth is available.
    for (; i + 4 <= n; i += 3, dst += 4) {
        std::uint32_t word;
        std::memcpy(&word, src + i, 4);
        const std::uint32_t bits = __builtin_bswap32(word) >> 8;
        std::uint16_t hi, lo;
        std::memcpy(&hi, pairs + 2 * (bits >> 12), 2);
        std::memcpy(&lo, pairs + 2 * (bits & 0xFFF), 2);
        const std::uint32_t chars = std::uint32_t{hi} | (std::uint32_t{lo} << 16);
        std::memcpy(dst, &chars, 4);
    }
    for (; i + 3 <= n; i += 3, dst += 4) {
        const std::uint32_t bits = (std::uint32_t{src[i]} << 16) | (std::uint32_t{src[i + 1]} << 8) | src[i + 2];
        std::memcpy(dst, pairs + 2 * (bits >> 12), 2);
        std::memcpy(dst + 2, pairs + 2 * (bits & 0xFFF), 2);
    }
    const std::size_t r = n - i;
    if (r > 0) {
        std::uint32_t bits = std::uint32_t{src[i]} << 16;
        if (r == 2)
            bits |= std::uint32_t{src[i + 1]} << 8;
        dst[0] = kAlphabet[(bits >> 18) & 63];
        dst[1] = kAlphabet[(bits >> 12) & 63];
        dst[2] = r == 2 ? kAlphabet[(bits >> 6) & 63] : '=';
        dst[3] = '=';
    }
}

std::string encodeBase64(std::string_view bytes)
{
    std::string out;
    encodeBase64Append(bytes, out);
    return out;
}

void decodeBase64Append(std::string_view text, std::string& out)
{
    if (text.empty())
        return;
    const std::size_t start = out.size();
    // Stripping only shortens the text, so this bounds the output; +1 spare byte for storeGroup.
    const std::size_t groups = (text.size() + 3) / 4;
    out.resize(start + groups * 3 + 1);
    auto* const first = reinterpret_cast<unsigned char*>(out.data() + start);
    unsigned char* dst = first;

    // Fast path: whole groups of alphabet characters. Everything before the
    // first other character is unaffected by the stripping rules (it holds no
    // space, A1 or CR), so the rest can be stripped and decoded on its own.
    const char* src = text.data();
    const std::size_t fullGroups = text.size() / 4;
    std::size_t g = 0;
    for (; g + 2 <= fullGroups; g += 2, src += 8, dst += 6) {
        const std::uint32_t a = groupBits(src);
        const std::uint32_t b = groupBits(src + 4);
        if ((a | b) & kBadBit)
            break;
        storeGroup(dst, a);
        storeGroup(dst + 3, b);
    }
    for (; g < fullGroups; ++g, src += 4, dst += 3) {
        const std::uint32_t a = groupBits(src);
        if (a & kBadBit)
            break;
        storeGroup(dst, a);
    }
    DecodeState st;
    if (src != text.data())
        for (std::size_t place = 0; place < 4; ++place)
            st.entries[place] = valueOf(src[static_cast<std::ptrdiff_t>(place) - 4]);
    const std::string_view rest = text.substr(static_cast<std::size_t>(src - text.data()));
    if (!rest.empty())
        dst = holdsStrippable(rest) ? decodeGeneral(stripSpacesAndLineBreaks(rest), st, dst)
                                    : decodeGeneral(rest, st, dst);
    // Only the last group shortens the output, never by more than this call wrote.
    const auto produced = static_cast<std::size_t>(dst - first);
    const std::size_t cut = std::min(static_cast<std::size_t>(4 - st.lastDecoded), produced);
    out.resize(start + produced - cut);
}

std::string decodeBase64(std::string_view text)
{
    std::string out;
    decodeBase64Append(text, out);
    return out;
}

} // namespace ordavel
