#pragma once
// The designer's commands, as its toolbars and menus report them and the
// main window carries them out: by what they are, not by their captions.

#include <QMetaType>
#include <QString>

#include <optional>

namespace ordavel {

enum class DesignerCommand {
    New,
    ScanToTemplate,
    Open,
    Save,
    SaveAs,
    PageSetup,
    DesignMode,
    EditMode,
    PreviewMode,
    Print,
    PrinterCalibration,
    PrintJournal,
    Data,
    AlignLeft,
    Help,
    Exit,
    About,
    MakerPage,
    Contact,
    CheckForUpdates,
};

// The command a toolbar button or menu entry of this caption runs; none for another caption.
std::optional<DesignerCommand> commandCaptioned(const QString& caption);

} // namespace ordavel

Q_DECLARE_METATYPE(ordavel::DesignerCommand)
