// Reads a workbook made from arbitrary parts: the input's pieces, split at
// NUL bytes, become xl/workbook.xml, its relationships, the first sheet, the
// shared strings and the styles of a ZIP file stored without compression, so
// that mutations reach the workbook's XML rather than stop at the ZIP's
// checksums. Every input ends in a table or a message; a table's every cell
// can be read. The seeds are the parts of workbooks in tests/data/xlsx
// (MIT licence, see there), joined the same way.
#include "data/xlsx_source.h"
#include "every_cell.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::uint32_t crc32(std::string_view bytes)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char byte : bytes)
        c = table[(c ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put16(std::string& out, std::uint32_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A ZIP file of `members` (name, content), stored.
std::string storedZip(const std::vector<std::pair<std::string, std::string_view>>& members)
{
    std::string zip;
    std::string directory;
    for (const auto& [name, content] : members) {
        const std::uint32_t offset = static_cast<std::uint32_t>(zip.size());
        const std::uint32_t crc = crc32(content);
        const auto size = static_cast<std::uint32_t>(content.size());
        put32(zip, 0x04034b50);
        put16(zip, 20);
        put16(zip, 0);
        put16(zip, 0);
        put16(zip, 0);
        put16(zip, 0x21);
        put32(zip, crc);
        put32(zip, size);
        put32(zip, size);
        put16(zip, static_cast<std::uint32_t>(name.size()));
        put16(zip, 0);
        zip += name;
        zip += content;
        put32(directory, 0x02014b50);
        put16(directory, 20);
        put16(directory, 20);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0x21);
        put32(directory, crc);
        put32(directory, size);
        put32(directory, size);
        put16(directory, static_cast<std::uint32_t>(name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, offset);
        directory += name;
    }
    const auto start = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    put32(zip, 0x06054b50);
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, static_cast<std::uint32_t>(members.size()));
    put16(zip, static_cast<std::uint32_t>(members.size()));
    put32(zip, static_cast<std::uint32_t>(directory.size()));
    put32(zip, start);
    put16(zip, 0);
    return zip;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::array<const char*, 5> names = {"xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                                                     "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                                                     "xl/styles.xml"};
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::pair<std::string, std::string_view>> members;
    for (const char* name : names) {
        const std::size_t cut = input.find('\0');
        members.emplace_back(name, input.substr(0, cut));
        if (cut == std::string_view::npos)
            break;
        input.remove_prefix(cut + 1);
    }
    const std::string zip = storedZip(members);
    (void)ordavel::xlsxSheetNames(zip);
    const ordavel::DataReadResult read = ordavel::readXlsx(zip, "");
    if (!read.ok())
        return 0;
    (void)bytesOfEveryCell(read.table);
    return 0;
}
