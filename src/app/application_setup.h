#pragma once
// What the designer's QApplication is told before the first window: its name
// and version, the launcher it belongs to, its icon and Qt's own translations.

class QApplication;
class QTranslator;

namespace ordavel {

// The installed launcher is ordavel.desktop; the desktop matches windows to it by this name.
inline constexpr const char* kDesktopFileName = "ordavel";

// Returns the translator of Qt's own texts (owned by app), or nullptr when none loaded.
QTranslator* setUpApplication(QApplication& app);

} // namespace ordavel
