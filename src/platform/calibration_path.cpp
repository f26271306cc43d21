#include "platform/calibration_store.h"

#include <QDir>

namespace ordavel {

std::string CalibrationStore::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return (base + QStringLiteral("/ordavel/printers.ini")).toStdString();
}

} // namespace ordavel
