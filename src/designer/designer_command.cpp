#include "designer/designer_command.h"

#include <utility>

namespace ordavel {

std::optional<DesignerCommand> commandCaptioned(const QString& caption)
{
    static const std::pair<const char*, DesignerCommand> kCaptions[] = {
        {"新建", DesignerCommand::New},
        {"扫描生成...", DesignerCommand::ScanToTemplate},
        {"打开", DesignerCommand::Open},
        {"保存", DesignerCommand::Save},
        {"另存为(&A)...", DesignerCommand::SaveAs},
        {"页面设置", DesignerCommand::PageSetup},
        {"页面设置(&S)...", DesignerCommand::PageSetup},
        {"设计", DesignerCommand::DesignMode},
        {"编辑", DesignerCommand::EditMode},
        {"预览", DesignerCommand::PreviewMode},
        {"打印", DesignerCommand::Print},
        {"打印机校准...", DesignerCommand::PrinterCalibration},
        {"打印记录", DesignerCommand::PrintJournal},
        {"数据", DesignerCommand::Data},
        {"左对齐", DesignerCommand::AlignLeft},
        {"帮助", DesignerCommand::Help},
        {"退出", DesignerCommand::Exit},
        {"关于本软件(&A)...", DesignerCommand::About},
        {"作者主页(&W)", DesignerCommand::MakerPage},
        {"QQ联系(&Q)", DesignerCommand::Contact},
        {"检查更新(&F)...", DesignerCommand::CheckForUpdates},
    };
    for (const auto& [text, command] : kCaptions)
        if (caption == QString::fromUtf8(text))
            return command;
    return std::nullopt;
}

} // namespace ordavel
