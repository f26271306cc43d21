#include "platform/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace ordavel {

QLocale qtTranslationLocale(const QLocale& system)
{
    if (system.language() == QLocale::Chinese)
        return system;
    return QLocale(QLocale::Chinese, QLocale::China);
}

QTranslator* installQtTranslations(QCoreApplication& app, const QLocale& system)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(&app);
    // A Chinese locale Qt has no file for (zh_SG, say) falls back to zh_CN.
    for (const QLocale& locale : {qtTranslationLocale(system), QLocale(QLocale::Chinese, QLocale::China)}) {
        if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)
            && QCoreApplication::installTranslator(translator))
            return translator;
    }
    delete translator;
    return nullptr;
}

} // namespace ordavel
