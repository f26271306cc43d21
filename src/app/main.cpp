// The designer's entry point.
#include "app/application_setup.h"
#include "app/command_line.h"
#include "app/startup.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Asked for its version, the designer answers on stdout without a window,
    // so this works without a display too.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("ordavel %s\n", ORDAVEL_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    QApplication app(argc, argv);
    ordavel::setUpApplication(app);
    return ordavel::runDesigner(ordavel::argumentsFromArgv(argc, argv));
}
