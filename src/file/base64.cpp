#include "file/base64.h"

#include <array>
#include <cstdint>
#include <algorithm>
#include <cstring>

namespace ordavel {

namespace {

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

// Decodes text that needs no stripping; appends to out.
void decodeGroups(std::string_view text, std::string& out)
{
    const std::size_t length = text.size();
    if (length == 0)
        return;
    const std::size_t groups = (length + 3) / 4;
    const std::size_t start = out.size();
    out.resize(start + groups * 3);
    auto* dst = reinterpret_cast<unsigned char*>(out.data() + start);
    const char* src = text.data();

    // The four entries persist from group to group (stale values after an invalid character).
    std::uint32_t e0 = 0, e1 = 0, e2 = 0, e3 = 0;
    const std::size_t fullGroups = length / 4;
    int lastDecoded = 4;
    for (std::size_t g = 0; g < fullGroups; ++g, src += 4, dst += 3) {
        const std::uint32_t v0 = valueOf(src[0]), v1 = valueOf(src[1]), v2 = valueOf(src[2]),
                            v3 = valueOf(src[3]);
        if (((v0 | v1 | v2 | v3) & kInvalid) == 0) {
            e0 = v0;
            e1 = v1;
            e2 = v2;
            e3 = v3;
            lastDecoded = 4;
        } else {
            // The first invalid character ends the group; later places keep their values.
            int decoded = 0;
            if (!(v0 & kInvalid)) {
                e0 = v0;
                ++decoded;
                if (!(v1 & kInvalid)) {
                    e1 = v1;
                    ++decoded;
                    if (!(v2 & kInvalid)) {
                        e2 = v2;
                        ++decoded;
                    }
                }
            }
            lastDecoded = decoded;
        }
        const std::uint32_t bits = (e0 << 18) | (e1 << 12) | (e2 << 6) | e3;
        dst[0] = static_cast<unsigned char>(bits >> 16);
        dst[1] = static_cast<unsigned char>(bits >> 8);
        dst[2] = static_cast<unsigned char>(bits);
    }
    const std::size_t rest = length % 4;
    if (rest != 0) {
        // Places past the end of the text count as "A" (value 0) and as decoded.
        std::uint32_t entries[4] = {e0, e1, e2, e3};
        int decoded = 0;
        for (std::size_t place = 0; place < 4; ++place) {
            const std::uint32_t v = place < rest ? valueOf(src[place]) : 0;
            if (v & kInvalid)
                break;
            entries[place] = v;
            ++decoded;
        }
        const std::uint32_t bits = (entries[0] << 18) | (entries[1] << 12) | (entries[2] << 6) | entries[3];
        dst[0] = static_cast<unsigned char>(bits >> 16);
        dst[1] = static_cast<unsigned char>(bits >> 8);
        dst[2] = static_cast<unsigned char>(bits);
        lastDecoded = decoded;
    }
    const std::size_t cut = static_cast<std::size_t>(4 - lastDecoded);
    out.resize(out.size() - std::min(cut, groups * 3));
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
    // Spaces, full-width spaces and line breaks are rare; look before copying.
    if (text.empty())
        return;
    const bool needsStripping = std::memchr(text.data(), ' ', text.size()) ||
                                std::memchr(text.data(), 0xA1, text.size()) ||
                                std::memchr(text.data(), '\n', text.size());
    if (!needsStripping) {
        decodeGroups(text, out);
        return;
    }
    decodeGroups(stripSpacesAndLineBreaks(text), out);
}

std::string decodeBase64(std::string_view text)
{
    std::string out;
    decodeBase64Append(text, out);
    return out;
}

} // namespace ordavel
