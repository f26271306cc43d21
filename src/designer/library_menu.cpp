#include "designer/library_menu.h"

#include <QAction>
#include <QMenu>

namespace ordavel {

namespace {

// A '&' in a caption would underline the next letter instead of showing.
QString shown(const std::string& text)
{
    return QString::fromStdString(text).replace(QStringLiteral("&"), QStringLiteral("&&"));
}

} // namespace

void fillLibraryMenu(QMenu& menu, const JournalResult<std::vector<LibraryRevision>>& listed,
                     const std::function<void(const std::string& name, int revision)>& open)
{
    menu.clear();
    menu.setToolTipsVisible(true);
    if (!listed.ok()) {
        menu.addAction(QStringLiteral("（模板库读不出来：%1）").arg(shown(listed.error)))->setEnabled(false);
        return;
    }
    if (listed.value.empty()) {
        menu.addAction(QStringLiteral("（模板库里没有模板）"))->setEnabled(false);
        return;
    }
    for (const LibraryRevision& r : listed.value) {
        QString caption = shown(r.name) + QStringLiteral("  第%1版").arg(r.revision);
        if (!r.note.empty())
            caption += QStringLiteral("  ") + shown(r.note);
        QAction* action = menu.addAction(caption);
        std::string by = r.user + "@" + r.host + (r.station.empty() ? std::string() : "（" + r.station + "）");
        action->setToolTip(QString::fromStdString((r.note.empty() ? std::string() : r.note + "\n")
                                                  + formatJournalTime(r.publishedAt) + " " + by));
        QObject::connect(action, &QAction::triggered, &menu,
                         [open, name = r.name, revision = r.revision] { open(name, revision); });
    }
}

} // namespace ordavel
