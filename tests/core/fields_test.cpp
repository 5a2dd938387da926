#include "core/Fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "testing/LanguageFixtures.h"

using namespace kalvo;
using kalvo::test::Line;

namespace {

const LanguageLines& Numbered = kalvo::test::NumberedLanguageTable();

struct Case {
    int input;
    std::string expected;
};

void ExpectTable(const std::function<std::string(int)>& format, const std::vector<Case>& cases)
{
    for (const Case& c : cases)
        EXPECT_EQ(format(c.input), c.expected) << "input " << c.input;
}

}  // namespace

TEST(Fields, DecodeWordIsBigEndianWithOnlyFFFFAsNoValue)
{
    struct WordCase {
        std::uint8_t high, low;
        int value;
        std::string text;
    };
    for (const WordCase& c : std::vector<WordCase>{{0x00, 0x00, 0, "0"},
                                                   {0x12, 0x34, 0x1234, "4660"},
                                                   {0xFF, 0x00, 65280, "65280"},
                                                   {0xFE, 0xFF, 65279, "65279"},
                                                   {0xFF, 0xFE, 65534, "65534"},
                                                   {0xFF, 0xFF, -1, "-"}}) {
        EXPECT_EQ(DecodeWord(c.high, c.low), c.value);
        EXPECT_EQ(FormatWord(c.high, c.low), c.text);
    }
}

TEST(Fields, FormatTriple)
{
    EXPECT_EQ(FormatTriple(0xFF, 0xFF, 0xFE), "16777214");
    EXPECT_EQ(FormatTriple(0x01, 0x00, 0x00), "65536");
    EXPECT_EQ(FormatTriple(0xFF, 0x00, 0x00), "16711680");
    EXPECT_EQ(FormatTriple(0x00, 0x00, 0x00), "0");
    EXPECT_EQ(FormatTriple(0xFF, 0xFF, 0xFF), "-");
}

TEST(Fields, ValuesInTenths)
{
    ExpectTable(TenthsText, {{0, "0"}, {7, "0.7"}, {10, "1"}, {2301, "230.1"}, {65534, "6553.4"}, {-15, "-1.5"}});
    ExpectTable(FormatMicroamps, {{0, "0 uA"}, {7, "0.7 uA"}, {65534, "6553.4 uA"}, {-1, "-"}, {-7, "-"}});
    ExpectTable(FormatVolts, {{2301, "230.1 V"}, {2300, "230 V"}, {0, "0 V"}, {-1, "-"}});
    ExpectTable(FormatWholeVolts, {{2304, "230"}, {2305, "230"}, {2306, "231"}, {2315, "232"}, {0, "0"},
                                   {5, "0"}, {15, "2"}, {65534, "6553"}, {-1, "-"}});
}

TEST(Fields, FormatStateNamesCodesUpTo15Only)
{
    ExpectTable([](int code) { return FormatState(static_cast<std::uint8_t>(code), Numbered); },
                {{0, Line(12)}, {7, Line(19)}, {15, Line(27)}, {16, ""}, {0xFE, ""}, {0xFF, "-"}});
}

TEST(Fields, FormatDuration)
{
    const std::string seconds = " " + Line(29), colon = " " + Line(28);
    ExpectTable([](int v) { return FormatDuration(v, Numbered); },
                {{-1, "-"},
                 {0, "-"},
                 {1, "0.1" + seconds},
                 {599, "59.9" + seconds},
                 {600, "60" + seconds},
                 {601, "1:00" + colon},
                 {605, "1:00" + colon},
                 {615, "1:02" + colon},
                 {625, "1:02" + colon},
                 {1195, "1:60" + colon},
                 {1795, "2:60" + colon},
                 {65534, "109:13" + colon}});
}

TEST(Fields, HoursAndMinutes)
{
    ExpectTable([](int v) { return FormatHoursMinutes(v, Numbered); },
                {{0, "0:00 L35"}, {59, "0:59 L35"}, {60, "1:00 L35"}, {125, "2:05 L35"}, {65534, "1092:14 L35"},
                 {-1, "-"}});
    ExpectTable([](int v) { return FormatRecordTime(v, Numbered); },
                {{0, "0:0 L28"}, {60, "1:0 L28"}, {125, "2:5 L28"}, {65534, "1092:14 L28"}, {-1, "-"}});
}

TEST(Fields, OneBlankBeforeAnEmptyUnitWord)
{
    const LanguageLines empty;
    EXPECT_EQ(FormatDuration(1, empty), "0.1 ");
    EXPECT_EQ(FormatDuration(601, empty), "1:00 ");
    EXPECT_EQ(FormatHoursMinutes(0, empty), "0:00 ");
    EXPECT_EQ(FormatRecordTime(0, empty), "0:0 ");
}

// The whole word range against a floating-point rendering; "%.1f" rounds exact decimals like
// x.y correctly, and lrint rounds halves to even in the default rounding mode.
namespace {

std::string PrintedTenths(int v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v / 10.0);
    std::string printed = text;
    if (printed.ends_with(".0"))
        printed.resize(printed.size() - 2);
    return printed;
}

std::string PrintedDuration(int v)
{
    if (v == 0)
        return "-";
    if (v <= 600)
        return PrintedTenths(v) + " L29";
    const std::div_t parts = std::div(v, 600);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02ld L28", parts.quot, std::lrint(parts.rem / 10.0));
    return text;
}

}  // namespace

TEST(Fields, WholeWordRangeMatchesFloatingRendering)
{
    for (int v = 0; v <= 65535; ++v) {
        ASSERT_EQ(TenthsText(v), PrintedTenths(v));
        ASSERT_EQ(FormatDuration(v, Numbered), PrintedDuration(v));
    }
}
