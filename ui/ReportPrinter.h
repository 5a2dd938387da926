#pragma once

#include <QDateTime>
#include <QFont>
#include <QPrinterInfo>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QPagedPaintDevice;

// Printing the gathered report: the header line, then every line indented, laid out page by page.
namespace kalvo {

// "        Ombrel Kalvo ", the date in the system's short format, two blanks, and the time in the
// system's long format (with seconds). The system's regional formats, not the program's number
// locale.
QString PrintHeader(const QDateTime& now);

// A printout's text lines: the header, one empty line, then every export line after eight blanks.
QStringList PrintedReportLines(const std::vector<std::string>& exportLines, const QDateTime& now);

// Reports print in a plain sans-serif face of 10 points: Arial where it is installed, otherwise the
// system's sans-serif face.
QFont PrinterFont();

// One print job on the device: opens it, lays the lines out from the top left of the printable
// area in the printer font, and ends it, also when drawing fails. A line too wide for the page is
// cut after the last character that fits and continues on the next printed line; a new page
// begins when the next line would come within two line heights of the bottom of the page.
// One job at a time: a job asked for while another is open fails with "Printing in progress".
void PrintLines(QPagedPaintDevice& device, const QStringList& lines);

// Finds the printer to print on: the system's current default printer, or a null one when there is
// none.
using PrinterLookup = std::function<QPrinterInfo()>;

// Prints the lines straight on the printer the lookup names, without a dialog, under an empty
// document name. Throws KalvoError "There is no default printer currently selected" or "Printer
// selected is not valid" when no job can be opened, and the errors of PrintLines.
void PrintOnDefaultPrinter(const QStringList& lines, const PrinterLookup& lookup);

}  // namespace kalvo
