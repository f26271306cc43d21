#pragma once
// The Qt application object the rendering commands need for fonts, pictures
// and printers; it uses the offscreen platform when there is no display.

#include <QGuiApplication>

#include <memory>

namespace ordavel::cli {

std::unique_ptr<QGuiApplication> makeHeadlessApp();

} // namespace ordavel::cli
