// Decodes arbitrary text (never fails, output bounded by the text's length),
// and checks that the bytes encode to text that decodes back to them.
#include "file/base64.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string decoded = ordavel::decodeBase64(bytes);
    if (decoded.size() > (size + 3) / 4 * 3)
        std::abort();
    const std::string encoded = ordavel::encodeBase64(bytes);
    if (encoded.size() != ordavel::base64EncodedLength(size) || ordavel::decodeBase64(encoded) != bytes)
        std::abort();
    return 0;
}
