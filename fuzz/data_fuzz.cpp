// Reads arbitrary bytes as a delimited text file (first byte even) or as JSON
// records (odd): every input ends in a table or a message, and a table's
// every cell can be read.
#include "data/data_source.h"
#include "every_cell.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const ordavel::DataKind kind = data[0] % 2 == 0 ? ordavel::DataKind::Delimited : ordavel::DataKind::Json;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const ordavel::DataReadResult read = ordavel::readDataBytes(bytes, kind, "");
    if (!read.ok())
        return 0;
    if (bytesOfEveryCell(read.table) > bytes.size() * 4 + 64)
        std::abort(); // values come from the file; they cannot outgrow it this far
    return 0;
}
