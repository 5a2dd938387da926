#include "window/PrintLayout.h"

namespace kalvo {

namespace {

const std::string Indent(8, ' ');
// A new page begins when the next line would start this many line heights or less above the
// bottom of the page.
constexpr double BottomReserveLines = 2;

// The length of the longest start of the text that fits the width, but at least one character, so
// that a character wider than the page still moves the line on.
std::size_t FittingLength(const std::string& text, double width, const TextWidth& textWidth)
{
    if (textWidth(text) <= width)
        return text.size();
    std::size_t fitting = 1;
    std::size_t low = 2;
    std::size_t high = text.size() - 1;
    while (low <= high) {
        const std::size_t middle = low + (high - low) / 2;
        if (textWidth(text.substr(0, middle)) <= width) {
            fitting = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return fitting;
}

}  // namespace

std::string PrintHeader(const RegionalDateTime& now)
{
    return Indent + "Ombrel Kalvo " + now.shortDate + "  " + now.longTime;
}

std::vector<std::string> PrintedReportLines(const std::vector<std::string>& exportLines, const RegionalDateTime& now)
{
    std::vector<std::string> lines{PrintHeader(now), std::string()};
    for (const std::string& line : exportLines)
        lines.push_back(Indent + line);
    return lines;
}

std::vector<PlacedLine> LayOutPrintedLines(
    const std::vector<std::string>& lines, const PrintPage& page, const TextWidth& textWidth)
{
    std::vector<PlacedLine> placed;
    int pageNumber = 0;
    double top = 0;
    for (const std::string& line : lines) {
        std::string rest = line;
        // An empty line still takes its printed line.
        do {
            // A page always takes at least one line, however small it is.
            if (top > 0 && top + BottomReserveLines * page.lineHeight > page.height) {
                ++pageNumber;
                top = 0;
            }
            const std::size_t fitting = FittingLength(rest, page.width, textWidth);
            placed.push_back({pageNumber, top, rest.substr(0, fitting)});
            rest.erase(0, fitting);
            top += page.lineHeight;
        } while (!rest.empty());
    }
    return placed;
}

}  // namespace kalvo
