#pragma once

#include <string>
#include <vector>

#include "window/MainView.h"

namespace kalvo {

// Prints the report's lines as a job on the current printer: one job at a time, ended also when
// printing fails on the way.
class ReportPrinter {
public:
    explicit ReportPrinter(PrintJobView& printer) : printer_(printer) { }

    // Throws "Printing in progress" while a job of this printer is still open, the reason a job
    // could not open, and "Printing failed" when a page or the job's end failed.
    void Print(const std::vector<std::string>& lines);

private:
    PrintPage OpenJob();
    bool PrintPages(const std::vector<std::string>& lines, const PrintPage& page);

    PrintJobView& printer_;
    bool jobOpen_ = false;
};

}  // namespace kalvo
