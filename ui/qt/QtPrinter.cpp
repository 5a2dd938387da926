#include "ui/qt/QtPrinter.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPrinter>
#include <QRegularExpression>

#include "ui/qt/TextCodec.h"

namespace {

constexpr int PrinterFontPoints = 10;

// The regional long time format without its time zone: the printout shows the time of day.
QString LongTimeFormat(const QLocale& regional)
{
    QString format = regional.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return format.trimmed();
}

}  // namespace

QFont PrinterFont()
{
    QFont font(QStringLiteral("Arial"), PrinterFontPoints);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

kalvo::RegionalDateTime QtRegionalDateTime(const QDateTime& moment)
{
    const QLocale regional = QLocale::system();
    return {kalvo::QStringToAnsi(regional.toString(moment.date(), QLocale::ShortFormat)),
        kalvo::QStringToAnsi(regional.toString(moment.time(), LongTimeFormat(regional)))};
}

PrintDevice PrinterDevice(const QPrinterInfo& printer, const std::string& documentName)
{
    if (printer.isNull())
        return {kalvo::PrintJobStatus::NoDefaultPrinter, nullptr};
    auto device = std::make_unique<QPrinter>(printer, QPrinter::HighResolution);
    device->setDocName(kalvo::AnsiToQString(documentName));
    if (!device->isValid())
        return {kalvo::PrintJobStatus::PrinterNotValid, nullptr};
    return {kalvo::PrintJobStatus::Opened, std::move(device)};
}

QtPrintJob::QtPrintJob(std::unique_ptr<QPagedPaintDevice> device) : device_(std::move(device)) { }

bool QtPrintJob::Begin()
{
    if (!painter_.begin(device_.get()))
        return false;
    painter_.setFont(PrinterFont());
    return true;
}

kalvo::PrintPage QtPrintJob::Page() const
{
    const QFontMetricsF metrics(painter_.font(), device_.get());
    return {static_cast<double>(device_->width()), static_cast<double>(device_->height()), metrics.lineSpacing()};
}

double QtPrintJob::TextWidth(const std::string& text) const
{
    return QFontMetricsF(painter_.font(), device_.get()).horizontalAdvance(kalvo::AnsiToQString(text));
}

void QtPrintJob::PrintLine(double top, const std::string& text)
{
    const QFontMetricsF metrics(painter_.font(), device_.get());
    painter_.drawText(QPointF(0, top + metrics.ascent()), kalvo::AnsiToQString(text));
}

bool QtPrintJob::NewPage()
{
    return device_->newPage();
}

bool QtPrintJob::End()
{
    return painter_.end();
}

kalvo::PrintJobOpening QtPrinterView::OpenPrintJob(const std::string& documentName)
{
    PrintDevice device = source_(documentName);
    if (device.status != kalvo::PrintJobStatus::Opened)
        return {device.status, {}};
    auto job = std::make_unique<QtPrintJob>(std::move(device.device));
    if (!job->Begin())
        return {kalvo::PrintJobStatus::PrinterNotValid, {}};
    job_ = std::move(job);
    return {kalvo::PrintJobStatus::Opened, job_->Page()};
}

bool QtPrinterView::EndPrintJob()
{
    const bool ended = job_->End();
    job_.reset();
    return ended;
}
