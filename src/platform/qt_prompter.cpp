#include "platform/qt_prompter.h"

#include "platform/font_resolver.h"
#include "platform/painter_surface.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

namespace ordavel {

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

// Message texts use CR LF line breaks; Qt breaks lines at LF alone.
QString displayText(const std::string& text)
{
    QString shown = q(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QMessageBox::Icon qtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

FontSpec fromQFont(const QFont& font)
{
    FontSpec fontSpec;
    fontSpec.face = font.family().toStdString();
    fontSpec.size = font.pointSize() > 0 ? font.pointSize() : 9;
    fontSpec.bold = font.bold();
    fontSpec.italic = font.italic();
    fontSpec.strikeOut = font.strikeOut();
    fontSpec.underline = font.underline();
    return fontSpec;
}

} // namespace

QString qtFileFilter(const std::string& filter)
{
    const QStringList parts = q(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        const QString list = patterns.join(QLatin1Char(' '));
        QString description = parts[i];
        const QString ownList = QLatin1Char('(') + parts[i + 1] + QLatin1Char(')');
        if (description.endsWith(ownList)) {
            description.chop(ownList.size());
            entries << description + QLatin1Char('(') + list + QLatin1Char(')');
        } else {
            entries << description + QStringLiteral(" (") + list + QLatin1Char(')');
        }
    }
    return entries.join(QStringLiteral(";;"));
}

MessageAnswer QtPrompter::show(const Message& message)
{
    QMessageBox box(qtIcon(message.icon), q(message.caption), displayText(message.text),
                    QMessageBox::NoButton, m_parent);
    switch (message.buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    default: break;
    }
    // Closing a Yes/No/Cancel box with the title bar counts as Cancel.
    return message.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::optional<std::string> QtPrompter::chooseFile(const FileChoice& choice, bool save)
{
    QFileDialog dialog(m_parent, q(choice.title));
    dialog.setNameFilter(qtFileFilter(choice.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QString suffix = q(choice.defaultExtension);
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    QString& lastFolder = save ? m_lastSaveFolder : m_lastOpenFolder;
    const QString folder = choice.initialFolder.empty() ? lastFolder : q(choice.initialFolder);
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    if (!choice.proposedName.empty())
        dialog.selectFile(q(choice.proposedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    lastFolder = QFileInfo(chosen).absolutePath();
    return chosen.toStdString();
}

std::optional<std::string> QtPrompter::chooseOpenFile(const FileChoice& choice)
{
    return chooseFile(choice, false);
}

std::optional<std::string> QtPrompter::chooseSaveFile(const FileChoice& choice)
{
    return chooseFile(choice, true);
}

std::optional<Color> QtPrompter::chooseColor(Color initial, const std::string& title)
{
    const QColor chosen = QColorDialog::getColor(toQColor(initial), m_parent, q(title));
    if (!chosen.isValid())
        return std::nullopt;
    return fromQColor(chosen);
}

std::optional<FontChoice> QtPrompter::chooseFont(const FontChoice& initial, const std::string& title)
{
    // Qt's font dialog has no colour, so the chooser embeds it beside a colour button.
    QDialog dialog(m_parent);
    dialog.setWindowTitle(q(title));
    auto* fonts = new QFontDialog(qtFont(initial.font), &dialog);
    fonts->setWindowFlags(Qt::Widget);
    fonts->setOptions(QFontDialog::NoButtons);
    Color color = initial.color;
    auto* colorButton = new QPushButton(QStringLiteral("颜色(&C)..."), &dialog);
    auto* swatch = new QLabel(&dialog);
    swatch->setFixedSize(40, 20);
    swatch->setFrameShape(QFrame::Box);
    auto paintSwatch = [&] {
        swatch->setStyleSheet(QStringLiteral("background:%1").arg(toQColor(color).name()));
    };
    paintSwatch();
    QObject::connect(colorButton, &QPushButton::clicked, &dialog, [&] {
        const QColor chosen = QColorDialog::getColor(toQColor(color), &dialog, QStringLiteral("颜色"));
        if (chosen.isValid()) {
            color = fromQColor(chosen);
            paintSwatch();
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(colorButton);
    bottom->addWidget(swatch);
    bottom->addStretch();
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(fonts);
    layout->addLayout(bottom);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return FontChoice{fromQFont(fonts->currentFont()), color};
}

std::optional<std::string> QtPrompter::askText(const std::string& prompt, const std::string& title,
                                               const std::string& initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, q(title), q(prompt), QLineEdit::Normal,
                                               q(initial), &ok);
    if (!ok)
        return std::nullopt;
    return text.toStdString();
}

std::optional<int> QtPrompter::chooseItem(const std::string& prompt, const std::string& title,
                                          const std::vector<std::string>& items, int initial)
{
    if (items.empty())
        return std::nullopt;
    QStringList entries;
    for (const auto& item : items)
        entries << q(item);
    bool ok = false;
    const int start = initial >= 0 && initial < entries.size() ? initial : 0;
    const QString chosen = QInputDialog::getItem(m_parent, q(title), q(prompt), entries, start, false, &ok);
    if (!ok)
        return std::nullopt;
    // The list is not editable: the chosen text is one of the entries, and
    // the first entry of a repeated text stands for all of them.
    const int at = static_cast<int>(entries.indexOf(chosen));
    return at >= 0 ? std::optional<int>(at) : std::nullopt;
}

bool QtPrompter::choosePrinter(QPrinter& printer)
{
    QPrintDialog dialog(&printer, m_parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace ordavel
