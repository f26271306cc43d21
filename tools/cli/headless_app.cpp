#include "headless_app.h"

#include "platform/allocator_tuning.h"

#include <QByteArray>

namespace ordavel::cli {

std::unique_ptr<QGuiApplication> makeHeadlessApp()
{
#ifndef _WIN32
    // Without a display the offscreen platform draws; Windows always has GDI and its fonts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    keepFreedMemoryForReuse();
    // QGuiApplication keeps references to argc and argv for its whole life.
    static int argc = 1;
    static char name[] = "ordavel-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace ordavel::cli
