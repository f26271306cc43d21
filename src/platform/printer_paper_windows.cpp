// The spooler's forms and the driver's sheet for a job's paper. A form is
// server-wide; making one needs the right to administer the print server,
// which a user often lacks: then the form is left as it is and the user is
// told how to make it by hand. The sheet is read from an information context
// on the device mode a job of that paper gets.
#include "platform/printer_paper.h"

#include <QPrinterInfo>
#include <QString>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace ordavel {

namespace {

std::wstring wide(const std::string& text) { return QString::fromStdString(text).toStdWString(); }

std::string printerOrDefault(const std::string& printer)
{
    return printer.empty() ? QPrinterInfo::defaultPrinterName().toStdString() : printer;
}

std::string systemError(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = length > 0 ? QString::fromWCharArray(text, static_cast<int>(length)).trimmed().toStdString()
                                 : "error " + std::to_string(code);
    LocalFree(text);
    return out;
}

// A printer handle, closed on leaving; administering rights first (needed to
// change forms), else use rights.
class PrinterHandle {
public:
    explicit PrinterHandle(const std::wstring& name)
    {
        std::wstring copy = name;
        PRINTER_DEFAULTSW admin{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (OpenPrinterW(copy.data(), &m_handle, &admin))
            return;
        m_handle = nullptr;
        PRINTER_DEFAULTSW use{nullptr, nullptr, PRINTER_ACCESS_USE};
        if (!OpenPrinterW(copy.data(), &m_handle, &use))
            m_handle = nullptr;
    }
    ~PrinterHandle()
    {
        if (m_handle != nullptr)
            ClosePrinter(m_handle);
    }
    PrinterHandle(const PrinterHandle&) = delete;
    PrinterHandle& operator=(const PrinterHandle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle = nullptr;
};

std::optional<FormSize> existingForm(HANDLE printer, const std::wstring& name)
{
    std::wstring copy = name;
    DWORD needed = 0;
    GetFormW(printer, copy.data(), 1, nullptr, 0, &needed);
    if (needed == 0)
        return std::nullopt;
    std::vector<BYTE> buffer(needed);
    if (!GetFormW(printer, copy.data(), 1, buffer.data(), needed, &needed))
        return std::nullopt;
    const auto* form = reinterpret_cast<const FORM_INFO_1W*>(buffer.data());
    return FormSize{static_cast<int>(form->Size.cx), static_cast<int>(form->Size.cy)};
}

// The driver's paper number of the form, when it lists the form among its papers.
std::optional<WORD> paperNumberOf(const std::wstring& printer, const std::wstring& form)
{
    const int count = DeviceCapabilitiesW(printer.c_str(), nullptr, DC_PAPERNAMES, nullptr, nullptr);
    if (count <= 0)
        return std::nullopt;
    std::vector<wchar_t> names(static_cast<std::size_t>(count) * 64 + 1, L'\0');
    std::vector<WORD> numbers(static_cast<std::size_t>(count));
    if (DeviceCapabilitiesW(printer.c_str(), nullptr, DC_PAPERNAMES, names.data(), nullptr) != count
        || DeviceCapabilitiesW(printer.c_str(), nullptr, DC_PAPERS, reinterpret_cast<wchar_t*>(numbers.data()), nullptr)
               != count)
        return std::nullopt;
    for (int i = 0; i < count; ++i) {
        const wchar_t* name = names.data() + static_cast<std::size_t>(i) * 64;
        if (form == std::wstring(name, wcsnlen(name, 64)))
            return numbers[static_cast<std::size_t>(i)];
    }
    return std::nullopt;
}

} // namespace

std::string preparePaperForm(const std::string& printerName, const JobPaper& paper)
{
    const std::string printer = printerOrDefault(printerName);
    const PaperForm form = paperFormFor(paper);
    const PrinterHandle handle(wide(printer));
    if (handle.get() == nullptr)
        return "无法打开打印机“" + printer + "”（" + systemError(GetLastError()) + "）。\r\n" + manualFormText(form);
    std::wstring name = wide(form.name);
    const FormStep step = formStep(form, existingForm(handle.get(), name));
    if (step == FormStep::Keep)
        return {};
    FORM_INFO_1W info{};
    info.Flags = FORM_USER;
    info.pName = name.data();
    info.Size = {form.widthMicrons, form.heightMicrons};
    info.ImageableArea = {0, 0, form.widthMicrons, form.heightMicrons};
    const BOOL done = step == FormStep::Create ? AddFormW(handle.get(), 1, reinterpret_cast<BYTE*>(&info))
                                               : SetFormW(handle.get(), name.data(), 1, reinterpret_cast<BYTE*>(&info));
    if (done)
        return {};
    return manualFormText(form) + "（" + systemError(GetLastError()) + "）";
}

std::optional<DriverPaper> driverPaper(const std::string& printerName, const JobPaper& paper)
{
    const std::wstring printer = wide(printerOrDefault(printerName));
    const PrinterHandle handle(printer);
    if (handle.get() == nullptr)
        return std::nullopt;
    std::wstring name = printer;
    const LONG size = DocumentPropertiesW(nullptr, handle.get(), name.data(), nullptr, nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    std::vector<BYTE> in(static_cast<std::size_t>(size)), out(static_cast<std::size_t>(size));
    auto* mode = reinterpret_cast<DEVMODEW*>(in.data());
    if (DocumentPropertiesW(nullptr, handle.get(), name.data(), mode, nullptr, DM_OUT_BUFFER) != IDOK)
        return std::nullopt;
    // As the job sets its paper: the printer's paper of that size (the form),
    // else a custom size in tenths of a millimetre, never turned.
    if (const auto number = paperNumberOf(printer, wide(paperFormFor(paper).name))) {
        mode->dmPaperSize = static_cast<short>(*number);
        mode->dmFields = (mode->dmFields | DM_PAPERSIZE) & ~static_cast<DWORD>(DM_PAPERLENGTH | DM_PAPERWIDTH);
    } else {
        mode->dmPaperSize = DMPAPER_USER;
        mode->dmPaperWidth = static_cast<short>((paper.widthHundredthsMm + 5) / 10);
        mode->dmPaperLength = static_cast<short>((paper.heightHundredthsMm + 5) / 10);
        mode->dmFields |= DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH;
    }
    mode->dmOrientation = DMORIENT_PORTRAIT;
    mode->dmFields |= DM_ORIENTATION;
    auto* merged = reinterpret_cast<DEVMODEW*>(out.data());
    if (DocumentPropertiesW(nullptr, handle.get(), name.data(), merged, mode, DM_IN_BUFFER | DM_OUT_BUFFER) != IDOK)
        return std::nullopt;
    HDC context = CreateICW(L"WINSPOOL", printer.c_str(), nullptr, merged);
    if (context == nullptr)
        return std::nullopt;
    const int dotsX = GetDeviceCaps(context, LOGPIXELSX);
    const int dotsY = GetDeviceCaps(context, LOGPIXELSY);
    const int width = GetDeviceCaps(context, PHYSICALWIDTH);
    const int height = GetDeviceCaps(context, PHYSICALHEIGHT);
    DeleteDC(context);
    if (dotsX <= 0 || dotsY <= 0 || width <= 0 || height <= 0)
        return std::nullopt;
    return DriverPaper{width * 25.4 / dotsX, height * 25.4 / dotsY, 25.4 / std::min(dotsX, dotsY)};
}

std::optional<std::string> paperWarning(const std::string& printerName, const std::optional<JobPaper>& paper)
{
    if (!paper)
        return std::nullopt;
    const std::string printer = printerOrDefault(printerName);
    const std::string problem = preparePaperForm(printer, *paper);
    return paperWarningText(printer, *paper, driverPaper(printer, *paper), problem);
}

} // namespace ordavel
