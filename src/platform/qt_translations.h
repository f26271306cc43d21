#pragma once
// Qt's own translations (qtbase: the stock buttons of message boxes, the file,
// colour and font choosers and the print dialog), so that they speak the same
// language as the program's texts.

#include <QLocale>
#include <QString>

class QCoreApplication;
class QTranslator;

namespace ordavel {

// The locale whose Qt translations suit `system`: a Chinese locale is kept,
// any other gives zh_CN, since every text of the program itself is Chinese.
QLocale qtTranslationLocale(const QLocale& system);

// Loads qtbase for qtTranslationLocale(system) from Qt's translations folder
// (falling back to zh_CN) and installs it on app, which owns it. Returns the
// translator, or nullptr when no file could be loaded (the stock texts then
// stay English).
QTranslator* installQtTranslations(QCoreApplication& app, const QLocale& system = QLocale::system());

} // namespace ordavel
