#include "ui/win32/Win32Printer.h"

#include <winspool.h>

#include <cmath>

#include "ui/win32/Win32Text.h"

namespace kalvo::win32 {

namespace {

std::wstring DefaultPrinterName()
{
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0)
        return {};
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size))
        return {};
    name.resize(size > 0 ? size - 1 : 0);
    return name;
}

}  // namespace

Win32Printer::~Win32Printer()
{
    if (printer_) {
        AbortDoc(printer_);
        DeleteDC(printer_);
    }
}

PrintJobOpening Win32Printer::OpenPrintJob(const std::string& documentName)
{
    const std::wstring printerName = DefaultPrinterName();
    if (printerName.empty())
        return {PrintJobStatus::NoDefaultPrinter, {}};
    HDC printer = CreateDCW(L"WINSPOOL", printerName.c_str(), nullptr, nullptr);
    if (!printer)
        return {PrintJobStatus::PrinterNotValid, {}};
    const std::wstring document = Widen(documentName);
    DOCINFOW job{};
    job.cbSize = sizeof job;
    job.lpszDocName = document.c_str();
    if (StartDocW(printer, &job) <= 0) {
        DeleteDC(printer);
        return {PrintJobStatus::PrinterNotValid, {}};
    }
    if (StartPage(printer) <= 0) {
        AbortDoc(printer);
        DeleteDC(printer);
        return {PrintJobStatus::PrinterNotValid, {}};
    }
    printer_ = printer;
    TEXTMETRICW metrics{};
    GetTextMetricsW(printer_, &metrics);
    PrintPage page;
    page.width = GetDeviceCaps(printer_, HORZRES);
    page.height = GetDeviceCaps(printer_, VERTRES);
    page.lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    return {PrintJobStatus::Opened, page};
}

double Win32Printer::PrintTextWidth(const std::string& text)
{
    const std::wstring wide = Widen(text);
    SIZE extent{};
    GetTextExtentPoint32W(printer_, wide.c_str(), static_cast<int>(wide.size()), &extent);
    return extent.cx;
}

void Win32Printer::PrintLine(double top, const std::string& text)
{
    const std::wstring wide = Widen(text);
    TextOutW(printer_, 0, static_cast<int>(std::lround(top)), wide.c_str(), static_cast<int>(wide.size()));
}

bool Win32Printer::NewPrintPage()
{
    return EndPage(printer_) > 0 && StartPage(printer_) > 0;
}

bool Win32Printer::EndPrintJob()
{
    const bool pageEnded = EndPage(printer_) > 0;
    const bool sent = EndDoc(printer_) > 0;
    DeleteDC(printer_);
    printer_ = nullptr;
    return pageEnded && sent;
}

}  // namespace kalvo::win32
