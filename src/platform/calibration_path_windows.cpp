#include "platform/calibration_store.h"

#include <QDir>

#include <windows.h>
#include <shlobj.h>

namespace ordavel {

// %APPDATA%\ordavel\printers.ini: the roaming folder follows the user from
// machine to machine, as the calibration of a printer by its name should.
std::string CalibrationStore::defaultPath()
{
    QString base = qEnvironmentVariable("APPDATA");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        PWSTR known = nullptr;
        if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK)
            base = QString::fromWCharArray(known);
        ::CoTaskMemFree(known);
    }
    if (base.isEmpty())
        base = QDir::homePath();
    return QDir::toNativeSeparators(base + QStringLiteral("/ordavel/printers.ini")).toStdString();
}

} // namespace ordavel
