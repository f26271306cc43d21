// Decodes arbitrary bytes as GBK, encodes the text back and decodes again:
// the text must survive. The bytes are also encoded as (mostly invalid) UTF-8.
#include "file/gbk.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = ordavel::gbkToUtf8(bytes);
    if (ordavel::gbkToUtf8(ordavel::utf8ToGbk(text)) != text)
        std::abort();
    (void)ordavel::utf8ToGbk(bytes);
    return 0;
}
