#pragma once

#include <windows.h>

#include <string>

#include "window/MainView.h"

namespace kalvo::win32 {

// A plain-text print job on the system's default printer through GDI, in the printer's own
// default font; places lines where the window layer's page layout says.
class Win32Printer : public PrintJobView {
public:
    ~Win32Printer() override;

    PrintJobOpening OpenPrintJob(const std::string& documentName) override;
    double PrintTextWidth(const std::string& text) override;
    void PrintLine(double top, const std::string& text) override;
    bool NewPrintPage() override;
    bool EndPrintJob() override;

private:
    HDC printer_ = nullptr;
};

}  // namespace kalvo::win32
