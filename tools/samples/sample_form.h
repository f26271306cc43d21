#pragma once
// What the sample makers share: the scanned look of a drawn form, its JPEG
// bytes for the template's background, and saving the template with an
// optional preview of it printed over the form.

#include "model/document.h"

#include <QImage>

#include <string>

namespace ordavel::samples {

// Paper grain: each pixel lightened or darkened by up to 6, from a fixed
// seed so that a sample is made the same each time; the offsets tint the
// red, green and blue channels.
void addPaperGrain(QImage& form, quint32 seed, int redOffset, int greenOffset, int blueOffset);

std::string jpegBytes(const QImage& image);

// Saves `doc` as argv[1] and, with a third argument, its page printed with
// the background picture as a 150 dpi PNG there. The exit status of main.
int saveSample(Document& doc, int argc, char** argv);

} // namespace ordavel::samples
