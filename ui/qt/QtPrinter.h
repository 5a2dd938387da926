#pragma once

#include <QDateTime>
#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinterInfo>

#include <functional>
#include <memory>
#include <string>

#include "MainView.h"

// The Qt side of printing: the device a job draws on, the printer font, and drawing the lines
// the window layer has laid out.

// Reports print in a plain sans-serif face of 10 points: Arial where it is installed, otherwise the
// system's sans-serif face.
QFont PrinterFont();

// The moment in the system's regional short date and long time formats (with seconds, without the
// time zone Qt adds to the long format on some systems), not the program's number locale.
kalvo::RegionalDateTime QtRegionalDateTime(const QDateTime& moment);

// The device a print job draws on, or why there is none.
struct PrintDevice {
    kalvo::PrintJobStatus status = kalvo::PrintJobStatus::NoDefaultPrinter;
    std::unique_ptr<QPagedPaintDevice> device;
};

// Finds the device to print on: the system's current default printer unless a test gives another.
using PrintDeviceSource = std::function<PrintDevice(const std::string& documentName)>;

// The printer described, set up for a job under the document name.
PrintDevice PrinterDevice(const QPrinterInfo& printer, const std::string& documentName);

// One job on a paged device, in the printer font, in the device's own units.
class QtPrintJob {
public:
    explicit QtPrintJob(std::unique_ptr<QPagedPaintDevice> device);

    // False when the device refuses to begin.
    bool Begin();
    kalvo::PrintPage Page() const;
    double TextWidth(const std::string& text) const;
    void PrintLine(double top, const std::string& text);
    bool NewPage();
    bool End();

private:
    std::unique_ptr<QPagedPaintDevice> device_;
    QPainter painter_;
};
