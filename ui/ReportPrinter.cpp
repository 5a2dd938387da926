#include "ReportPrinter.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QScopedValueRollback>

#include "KalvoError.h"
#include "TextCodec.h"

namespace kalvo {

namespace {

const QString Indent(8, u' ');
constexpr int PrinterFontPoints = 10;
// A new page begins when the next line would start this many line heights or less above the
// bottom of the page.
constexpr qreal BottomReserveLines = 2;

// Set while one of our print jobs is open; another job is refused until it has ended.
bool jobOpen = false;

// The length of the longest start of the text that fits the width, but at least one character, so
// that a character wider than the page still moves the line on.
qsizetype FittingLength(const QString& text, const QFontMetricsF& metrics, qreal width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text.size();
    qsizetype fitting = 1;
    qsizetype low = 2;
    qsizetype high = text.size() - 1;
    while (low <= high) {
        const qsizetype middle = low + (high - low) / 2;
        if (metrics.horizontalAdvance(text.left(middle)) <= width) {
            fitting = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return fitting;
}

// Draws the lines page after page; false when the device could not begin a new page.
bool DrawLines(QPainter& painter, QPagedPaintDevice& device, const QStringList& lines)
{
    const QFontMetricsF metrics(painter.font(), &device);
    const qreal pageWidth = device.width();
    const qreal pageHeight = device.height();
    const qreal lineHeight = metrics.lineSpacing();
    qreal top = 0;
    for (const QString& line : lines) {
        QString rest = line;
        // An empty line still takes its printed line.
        do {
            // A page always takes at least one line, however small it is.
            if (top > 0 && top + BottomReserveLines * lineHeight > pageHeight) {
                if (!device.newPage())
                    return false;
                top = 0;
            }
            const qsizetype fitting = FittingLength(rest, metrics, pageWidth);
            painter.drawText(QPointF(0, top + metrics.ascent()), rest.left(fitting));
            rest.remove(0, fitting);
            top += lineHeight;
        } while (!rest.isEmpty());
    }
    return true;
}

}  // namespace

// The regional long time format, with seconds, without the time zone that Qt adds to it on some
// systems: the printout shows the time of day as the regional settings write it.
QString LongTimeFormat(const QLocale& regional)
{
    QString format = regional.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return format.trimmed();
}

QString PrintHeader(const QDateTime& now)
{
    const QLocale regional = QLocale::system();
    return Indent + QStringLiteral("Ombrel Kalvo ") + regional.toString(now.date(), QLocale::ShortFormat) +
           QStringLiteral("  ") + regional.toString(now.time(), LongTimeFormat(regional));
}

QStringList PrintedReportLines(const std::vector<std::string>& exportLines, const QDateTime& now)
{
    QStringList lines{PrintHeader(now), QString()};
    for (const std::string& line : exportLines)
        lines.append(Indent + AnsiToQString(line));
    return lines;
}

QFont PrinterFont()
{
    QFont font(QStringLiteral("Arial"), PrinterFontPoints);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void PrintLines(QPagedPaintDevice& device, const QStringList& lines)
{
    if (jobOpen)
        throw KalvoError("Printing in progress");
    const QScopedValueRollback<bool> open(jobOpen, true);

    QPainter painter;
    if (!painter.begin(&device))
        throw KalvoError("Printer selected is not valid");
    painter.setFont(PrinterFont());
    const bool drawn = DrawLines(painter, device, lines);
    // Ending the job sends what was drawn, also after a failure on the way.
    const bool ended = painter.end();
    if (!drawn || !ended)
        throw KalvoError("Printing failed");
}

void PrintOnDefaultPrinter(const QStringList& lines, const PrinterLookup& lookup)
{
    const QPrinterInfo printerInfo = lookup();
    if (printerInfo.isNull())
        throw KalvoError("There is no default printer currently selected");
    QPrinter printer(printerInfo, QPrinter::HighResolution);
    printer.setDocName(QString());
    if (!printer.isValid())
        throw KalvoError("Printer selected is not valid");
    PrintLines(printer, lines);
}

}  // namespace kalvo
