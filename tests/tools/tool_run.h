#pragma once
// Running programs from the tool tests (the command line tool, poppler),
// scratch folders and picture checks.

#include "model/message.h"
#include "support/run_command.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace ordavel::test {

// A fresh folder under the system temporary folder, removed with the object.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& stem)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The bounding box of the pixels of `colour` (each channel within 40).
inline QRect areaOf(const QImage& picture, QColor colour)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (std::abs(qRed(p) - colour.red()) < 40 && std::abs(qGreen(p) - colour.green()) < 40
                && std::abs(qBlue(p) - colour.blue()) < 40)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

// Saving a template in a test must not produce any message.
class FailOnMessage : public MessageSink {
public:
    MessageAnswer show(const Message& message) override
    {
        ADD_FAILURE() << message.caption << ": " << message.text;
        return MessageAnswer::Ok;
    }
};

} // namespace ordavel::test
