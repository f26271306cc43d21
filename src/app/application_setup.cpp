#include "app/application_setup.h"

#include "app/app_icon.h"
#include "platform/allocator_tuning.h"
#include "platform/qt_translations.h"

#include <QApplication>

namespace ordavel {

QTranslator* setUpApplication(QApplication& app)
{
    keepFreedMemoryForReuse();
    QApplication::setApplicationName(QStringLiteral("Ordavel"));
    QApplication::setApplicationVersion(QStringLiteral(ORDAVEL_VERSION));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    QApplication::setWindowIcon(applicationIcon());
    return installQtTranslations(app);
}

} // namespace ordavel
