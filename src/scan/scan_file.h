#pragma once
// Reading a scan (JPEG, PNG, BMP, TIFF) with its resolution, and writing a
// picture as JPEG for templates, which carry only BMP, JPEG and GIF.

#include "scan/scan_image.h"

#include <optional>
#include <string>

namespace ordavel::scan {

// The first page of the file, as RGB; nullopt with *error set when it cannot be read.
std::optional<ScanImage> readScanFile(const std::string& path, std::string* error);
// The same from bytes already in memory.
std::optional<ScanImage> readScanBytes(const std::string& bytes, std::string* error);
// JPEG file bytes of a grey or RGB picture at `quality` (1..100), "" on failure.
std::string encodeJpeg(const Picture& picture, int quality, double dpi);
// PNG file bytes of a grey or RGB picture, "" on failure.
std::string encodePng(const Picture& picture);

} // namespace ordavel::scan
