#pragma once
// The menu under the Open button's arrow: the section "最近打开" with the
// templates opened last (FileHistory), newest first, then the installed sample
// templates under "示例模板".

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QMenu;

namespace ordavel {

// Fills `menu` anew: one entry per file of `recent` ("&1 name" for the first,
// the full path as its tooltip), "（没有最近打开的文件）" disabled when there is
// none, then the submenu "示例模板" of `samples` (disabled without any).
// Choosing an entry calls `open` with its full path.
void fillOpenMenu(QMenu& menu, const std::vector<std::string>& recent, const std::vector<std::string>& samples,
                  const std::function<void(const std::string&)>& open);

} // namespace ordavel
