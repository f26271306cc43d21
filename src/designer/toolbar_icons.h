#pragma once
// Toolbar pictures drawn with QPainter, so the program ships no image files.

#include <QIcon>
#include <QString>

namespace ordavel {

// The icon for a toolbar caption ("新建", "编辑框", …); a null icon for others.
QIcon toolbarIcon(const QString& caption);

} // namespace ordavel
