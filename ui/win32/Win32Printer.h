#pragma once

#include <windows.h>

#include <string>

#include "MainView.h"

namespace kalvo::win32 {

// A plain-text print job on the system's default printer through GDI, in the printer's own
// default font; places lines where the window layer's page layout says.
class Win32Printer {
public:
    ~Win32Printer();

    PrintJobOpening Open(const std::string& documentName);
    double TextWidth(const std::string& text);
    void PrintLine(double top, const std::string& text);
    bool NewPage();
    bool End();

private:
    HDC printer_ = nullptr;
};

}  // namespace kalvo::win32
