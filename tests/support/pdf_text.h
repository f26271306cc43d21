#pragma once
// The text of a PDF as pdftotext lays it out (-layout), for tests that check
// what a print wrote; empty when the file cannot be read.

#include <cstdio>
#include <string>

namespace ordavel::test {

inline std::string pdfText(const std::string& pdf)
{
    std::string text;
    if (std::FILE* pipe = ::popen(("pdftotext -layout '" + pdf + "' - 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

} // namespace ordavel::test
