#include "core/Readings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "testing/BlockFixtures.h"
#include "testing/LanguageFixtures.h"
#include "testing/TempDir.h"

using namespace kalvo;
using kalvo::test::Line;
using Lines = std::vector<std::string>;

namespace {

const LanguageLines& Numbered = kalvo::test::NumberedLanguageTable();

using kalvo::test::FilledBlock;

Lines ReportOf(const Block& status, const Block& timing, const LanguageLines& language = Numbered)
{
    return ReportLines(DecodeReadings(status, timing, language).texts, language);
}

const Lines ZeroBlocksReport{
    "L36 " + std::string(16, '\0'), "L37 0", "L38 0", "L39 0", "L40 0 uA", "L41 0 uA", "L42 0 uA", "L43 0 uA",
    "L44 0 Volt", "L45 L12", "L46 0", "L47 0", "L48 0", "L49 0", "L50 0", "L56 0:00 L35", "L68 0"};

bool Contains(const Lines& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST(Report, CandidateLinesInReportOrder)
{
    // Duration k lasts k seconds, so each one shows where it lands.
    Block timing = FilledBlock(0);
    const std::vector<int> durationAt{0, 2, 4, 6, 8, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 34};
    for (std::size_t i = 0; i < durationAt.size(); ++i)
        timing[durationAt[i] + 1] = static_cast<std::uint8_t>(10 * (i + 1));

    Lines expected(ZeroBlocksReport.begin(), ZeroBlocksReport.begin() + 15);
    for (int k = 1; k <= 16; ++k) {
        if (k == 6)
            expected.push_back("L56 0:00 L35");
        expected.push_back(Line(k < 6 ? 50 + k : 51 + k) + " " + std::to_string(k) + " L29");
    }
    expected.push_back("L68 0");
    EXPECT_EQ(ReportCandidateLines(DecodeReadings(FilledBlock(0), timing, Numbered).texts, Numbered), expected);
}

TEST(Report, FilterRejectsADashAnywhere)
{
    for (const auto& [line, shown] : std::vector<std::pair<std::string, bool>>{
             {"", true}, {"L45 ", true}, {"L44 230 Volt", true}, {"-", false}, {"L40 -", false}, {"a-b 1", false}})
        EXPECT_EQ(ReportLineFilter(line), shown) << line;
}

TEST(Report, ZeroBlocksGiveSeventeenLines)
{
    EXPECT_EQ(ReportOf(FilledBlock(0), FilledBlock(0)), ZeroBlocksReport);
}

TEST(Report, AllFFBlocksLeaveOnlyTheStatusString)
{
    EXPECT_EQ(ReportOf(FilledBlock(0xFF), FilledBlock(0xFF)), Lines{"L36 " + std::string(16, '\xFF')});
}

TEST(Report, FlagsNeverShowInTheReport)
{
    Block status = FilledBlock(0);
    status[37] = 0xFF, status[38] = 0xFF;
    EXPECT_EQ(ReportOf(status, FilledBlock(0)), ZeroBlocksReport);
}

TEST(Report, DashInALanguageLineHidesEveryLineCarryingIt)
{
    struct DashCase {
        int languageLine;
        std::string hiddenLine;
    };
    for (const DashCase& c : std::vector<DashCase>{
             {40, "L40 0 uA"}, {44, "L44 0 Volt"}, {12, "L45 L12"}, {35, "L56 0:00 L35"}, {68, "L68 0"}}) {
        LanguageLines language = Numbered;
        language[c.languageLine] = "with-dash";
        Lines expected = ZeroBlocksReport;
        std::erase(expected, c.hiddenLine);
        EXPECT_EQ(ReportOf(FilledBlock(0), FilledBlock(0), language), expected) << "line " << c.languageLine;
    }
}

TEST(Report, ValuesThatAddOrKeepLines)
{
    Block status = FilledBlock(0), timing = FilledBlock(0);
    status[2] = '-';   // a dash in the status string hides its line
    status[40] = 0x10; // a state without name keeps its line, ending in the blank
    timing[0] = 0x02, timing[1] = 0x58;  // 600 tenths
    const Lines report = ReportOf(status, timing);
    EXPECT_EQ(report.front(), "L37 0");
    EXPECT_TRUE(Contains(report, "L45 "));
    const auto duration = std::find(report.begin(), report.end(), "L51 60 L29");
    ASSERT_NE(duration, report.end());
    EXPECT_EQ(*(duration - 1), "L50 0");
    EXPECT_EQ(*(duration + 1), "L56 0:00 L35");
}

TEST(ErrorRecord, Lines)
{
    struct RecordCase {
        std::string name;
        std::vector<std::pair<int, std::uint8_t>> bytes;  // record-relative offset, value
        Lines expected;
    };
    const std::vector<RecordCase> cases{
        {"empty", {{0, 0xFF}, {1, 0}, {4, 0}}, {"L30 3"}},
        {"zero", {}, {"L30 3", "L12", "L31 0", "L32 0 V", "L33 0 uA", "L34 0:0 L28"}},
        {"no values",
         {{0, 0x0F}, {1, 0xFF}, {2, 0xFF}, {3, 0xFF}, {4, 0xFF}, {5, 0xFF}, {6, 0xFF}, {7, 0xFF}, {8, 0xFF}, {9, 0xFF}},
         {"L30 3", "L27", "L31 -", "L32 -", "L33 -", "L34 -"}},
        {"values",
         {{0, 0x10}, {1, 0x01}, {4, 0x08}, {5, 0xFC}, {6, 0x00}, {7, 0x07}, {9, 0x7D}},
         {"L30 3", "", "L31 65536", "L32 230 V", "L33 0.7 uA", "L34 2:5 L28"}},
    };
    for (const RecordCase& c : cases) {
        Block block = FilledBlock(0);
        for (const auto& [at, value] : c.bytes)
            block[32 + at] = value;
        EXPECT_EQ(ErrorRecordLines(block, 32, 3, Numbered), c.expected) << c.name;
    }
}

TEST(ErrorRecord, EighthRecordStartsAtByte112)
{
    Block block = FilledBlock(0xFF);
    std::fill(block.begin() + 112, block.begin() + 128, 0);
    block[114] = 0x01;
    EXPECT_EQ(ErrorRecordLines(block, 112, 8, Numbered),
              (Lines{"L30 8", "L12", "L31 256", "L32 0 V", "L33 0 uA", "L34 0:0 L28"}));
    EXPECT_EQ(ErrorRecordLines(block, 96, 7, Numbered), Lines{"L30 7"});
}

TEST(ErrorRecord, OffsetOutsideTheBlockIsRefused)
{
    const Block block = FilledBlock(0);
    EXPECT_NO_THROW(ErrorRecordLines(block, 240, 16, Numbered));
    EXPECT_THROW(ErrorRecordLines(block, 241, 1, Numbered), std::out_of_range);
    EXPECT_THROW(ErrorRecordLines(block, -1, 1, Numbered), std::out_of_range);
}

// The language files shipped with the program.
class ShippedLanguage : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        bytes = kalvo::test::ReadFileBytes(path());
        ASSERT_FALSE(bytes.empty()) << path();
    }
    std::string path() const
    {
        return (std::filesystem::path(KALVO_TEST_DATA).parent_path().parent_path() / GetParam()).string();
    }
    std::string bytes;
};

TEST_P(ShippedLanguage, Has139LinesEndedByCarriageReturnAndLineFeed)
{
    std::size_t lineEnds = 0;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (bytes[at] == '\r') {
            ASSERT_EQ(bytes[at + 1], '\n') << "carriage return alone at byte " << at;
            ++lineEnds;
        } else {
            ASSERT_TRUE(bytes[at] != '\n' || (at > 0 && bytes[at - 1] == '\r')) << "line feed alone at byte " << at;
        }
        ASSERT_NE(bytes[at], '\x1A');
    }
    EXPECT_EQ(lineEnds, 139u);
    EXPECT_TRUE(bytes.ends_with("\r\n"));
}

TEST_P(ShippedLanguage, FillsEveryRoleAndHidesNoReportLine)
{
    LanguageLines language;
    LoadLanguage(path(), language);
    for (int n = 12; n <= 68; ++n)
        EXPECT_EQ(language[n].find('-'), std::string::npos) << "line " << n << ": " << language[n];
    for (int n = 2; n <= 68; ++n)
        EXPECT_TRUE(n == 28 || !language[n].empty()) << "line " << n << " is empty";
    EXPECT_EQ(ReportOf(FilledBlock(0), FilledBlock(0), language).size(), 17u);
}

TEST_P(ShippedLanguage, IsWindows1252)
{
    // English needs no byte above 0x7F; German only its umlauts and sharp s, one byte each.
    const std::string allowedHigh = "\xC4\xD6\xDC\xE4\xF6\xFC\xDF";
    for (char byte : bytes) {
        if (static_cast<unsigned char>(byte) >= 0x80)
            EXPECT_NE(allowedHigh.find(byte), std::string::npos) << std::hex << int(static_cast<unsigned char>(byte));
        else
            EXPECT_TRUE(byte == '\r' || byte == '\n' || byte >= ' ') << "control byte " << int(byte);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguage,
                         testing::Values("resources/MY.LNG", "resources/lang/de/MY.LNG"));
