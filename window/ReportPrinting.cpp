#include "window/ReportPrinting.h"

#include "core/KalvoError.h"
#include "window/PrintLayout.h"

namespace kalvo {

void ReportPrinter::Print(const std::vector<std::string>& lines)
{
    if (jobOpen_)
        throw KalvoError("Printing in progress");
    const PrintPage page = OpenJob();
    jobOpen_ = true;
    bool drawn = false;
    try {
        drawn = PrintPages(lines, page);
    } catch (...) {
        // Ending the job sends what was drawn, also after a failure on the way.
        printer_.EndPrintJob();
        jobOpen_ = false;
        throw;
    }
    const bool ended = printer_.EndPrintJob();
    jobOpen_ = false;
    if (!drawn || !ended)
        throw KalvoError("Printing failed");
}

// A job on the current printer, under an empty document name; the reasons it cannot open leave
// the handler.
PrintPage ReportPrinter::OpenJob()
{
    const PrintJobOpening opening = printer_.OpenPrintJob({});
    switch (opening.status) {
    case PrintJobStatus::Opened:
        break;
    case PrintJobStatus::NoDefaultPrinter:
        throw KalvoError("There is no default printer currently selected");
    case PrintJobStatus::PrinterNotValid:
        throw KalvoError("Printer selected is not valid");
    }
    return opening.page;
}

// Prints the lines laid out on the job's pages; false when the printer could not begin a page.
bool ReportPrinter::PrintPages(const std::vector<std::string>& lines, const PrintPage& page)
{
    const auto textWidth = [this](const std::string& text) { return printer_.PrintTextWidth(text); };
    int pageNumber = 0;
    for (const PlacedLine& line : LayOutPrintedLines(lines, page, textWidth)) {
        if (line.page != pageNumber) {
            pageNumber = line.page;
            if (!printer_.NewPrintPage())
                return false;
        }
        printer_.PrintLine(line.top, line.text);
    }
    return true;
}

}  // namespace kalvo
