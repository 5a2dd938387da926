#pragma once

#include <QDateTime>
#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinterInfo>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "window/MainView.h"

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

// The main window's printer: a job at a time on the device the source finds.
class QtPrinterView : public kalvo::PrintJobView {
public:
    explicit QtPrinterView(PrintDeviceSource source) : source_(std::move(source)) { }

    void SetDeviceSource(PrintDeviceSource source) { source_ = std::move(source); }

    kalvo::PrintJobOpening OpenPrintJob(const std::string& documentName) override;
    double PrintTextWidth(const std::string& text) override { return job_->TextWidth(text); }
    void PrintLine(double top, const std::string& text) override { job_->PrintLine(top, text); }
    bool NewPrintPage() override { return job_->NewPage(); }
    bool EndPrintJob() override;

private:
    PrintDeviceSource source_;
    std::unique_ptr<QtPrintJob> job_;
};
