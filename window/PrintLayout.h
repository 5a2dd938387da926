#pragma once

#include <functional>
#include <string>
#include <vector>

#include "window/MainView.h"

// The printed report: its lines and how they lie on the pages. Shared by every face, so all print
// the same pages; only the width of a text in the printer font comes from the face.
namespace kalvo {

// "        Ombrel Kalvo ", the date in the system's short format, two blanks, and the time in the
// system's long format (with seconds).
std::string PrintHeader(const RegionalDateTime& now);

// A printout's text lines: the header, one empty line, then every export line after eight blanks.
std::vector<std::string> PrintedReportLines(const std::vector<std::string>& exportLines, const RegionalDateTime& now);

// One printed line: the page it is on (from 0), the top of its line box, and its text.
struct PlacedLine {
    int page = 0;
    double top = 0;
    std::string text;
};

using TextWidth = std::function<double(const std::string& text)>;

// Lays the lines out from the top left of the printable area. A line too wide for the page is
// cut after the last character that fits (at least one, so the line moves on) and continues on
// the next printed line; an empty line takes a printed line of its own; a new page begins when
// the next line would come within two line heights of the bottom, but every page takes at least
// one line.
std::vector<PlacedLine> LayOutPrintedLines(
    const std::vector<std::string>& lines, const PrintPage& page, const TextWidth& textWidth);

}  // namespace kalvo
