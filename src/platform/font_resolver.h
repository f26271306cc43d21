#pragma once
// Fonts of the boxes (face name and point size) as Qt fonts. The Chinese face
// names the templates use ("宋体", "黑体", "楷体", "仿宋", "微软雅黑", ...)
// are substituted by the installed CJK fonts.

#include "model/box.h"

#include <QFont>

namespace ordavel {

// The font of `fontSpec` at its point size (9 when not > 0) with bold, italic, strike-out and
// underline. Installs the face substitutions on first use (needs a
// QGuiApplication).
QFont qtFont(const FontSpec& fontSpec);

} // namespace ordavel
