// The printed page layout, with a printer font in which every character is one unit wide.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window/PrintLayout.h"

namespace {

using kalvo::PlacedLine;

double OneUnitPerCharacter(const std::string& text)
{
    return static_cast<double>(text.size());
}

std::vector<PlacedLine> LayOut(const std::vector<std::string>& lines, kalvo::PrintPage page)
{
    return kalvo::LayOutPrintedLines(lines, page, OneUnitPerCharacter);
}

int PageCount(const std::vector<PlacedLine>& placed)
{
    return placed.empty() ? 0 : placed.back().page + 1;
}

TEST(PrintLayout, NineEmptyBoxesPrintTheHeaderAndNineIndentedEmptyLines)
{
    const kalvo::RegionalDateTime now{"3/9/24", "7:05:03 AM"};
    const std::vector<std::string> lines = kalvo::PrintedReportLines(std::vector<std::string>(9, ""), now);

    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "        Ombrel Kalvo 3/9/24  7:05:03 AM");
    EXPECT_EQ(lines[1], "");
    for (std::size_t i = 2; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], "        ") << i;
}

TEST(PrintLayout, LinesStartAtTheTopLeftOneLineHeightApartAndEmptyLinesTakeTheirPlace)
{
    const auto placed = LayOut({"first", "", "third"}, {20, 100, 2.5});

    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0].top, 0);
    EXPECT_EQ(placed[1].text, "");
    EXPECT_EQ(placed[1].top, 2.5);
    EXPECT_EQ(placed[2].top, 5);
    EXPECT_EQ(PageCount(placed), 1);
}

TEST(PrintLayout, LineTooWideForThePageContinuesOnTheNextPrintedLines)
{
    const auto placed = LayOut({"abcdefghijklm", "next"}, {5, 100, 1});

    std::vector<std::string> texts;
    for (const PlacedLine& line : placed)
        texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"abcde", "fghij", "klm", "next"}));
    EXPECT_EQ(placed[3].top, 3);
}

TEST(PrintLayout, CharacterWiderThanThePageStillMovesTheLineOn)
{
    const auto placed = kalvo::LayOutPrintedLines(
        {"WWW"}, {1, 100, 1}, [](const std::string& text) { return 3.0 * static_cast<double>(text.size()); });

    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[2].text, "W");
}

// A page ends once the next line would start within two line heights of its bottom, yet always
// takes at least one line.
TEST(PrintLayout, NewPageBeginsTwoLineHeightsAboveTheBottom)
{
    const struct {
        double pageHeightInLines;
        int lines;
        int pages;
    } cases[] = {
        {6.5, 10, 2},               // five lines a page: the sixth would start 1.5 line heights above the bottom
        {6.5, 11, 3}, {1.5, 3, 3},  // not even two line heights: one line a page
    };
    for (const auto& c : cases) {
        const auto placed = LayOut(
            std::vector<std::string>(static_cast<std::size_t>(c.lines), "line"), {300, c.pageHeightInLines * 12, 12});
        EXPECT_EQ(PageCount(placed), c.pages) << c.pageHeightInLines << " line heights, " << c.lines << " lines";
        for (const PlacedLine& line : placed) {
            if (line.top == 0)
                continue;
            EXPECT_LE(line.top + 2 * 12, c.pageHeightInLines * 12);
        }
    }
}

TEST(PrintLayout, LongReportContinuesOnFurtherPagesInOrder)
{
    std::vector<std::string> lines;
    for (int n = 1; n <= 150; ++n)
        lines.push_back("Report line " + std::to_string(n));
    const auto placed = LayOut(lines, {80, 60, 1});

    ASSERT_EQ(placed.size(), 150u);
    EXPECT_EQ(PageCount(placed), 3);
    for (std::size_t i = 0; i < placed.size(); ++i) {
        EXPECT_EQ(placed[i].text, lines[i]);
        EXPECT_EQ(placed[i].page, static_cast<int>(i / 59))
            << "59 lines a page: the 60th would start 1 line above the bottom";
    }
}

}  // namespace
