#include "window/TrendModel.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "record/CsvFiles.h"
#include "record/NightTexts.h"

namespace kalvo {
namespace {

using record::DecodedPoll;
using Picture = TrendPicture;

// 2026-12-07 10:00:00 local time at UTC+01:00.
constexpr std::int64_t TenOClockMs = 1'796'634'000'000;
constexpr int Width = 648, Height = 400;

// A language that names the three values as the delivered file does.
record::RecordLanguage Named()
{
    LanguageLines language;
    language[41] = "Flame current:";
    language[43] = "Alarm current:";
    language[44] = "Mains voltage:";
    return record::RecordLanguage(language);
}

const record::RecordLanguage English{LanguageLines{}};

enum class Kind { Ok, TransferError, NoPort, Implausible };

DecodedPoll PollAt(std::int64_t utcMs, Kind kind, double flame = 10, double volts = 230)
{
    DecodedPoll poll;
    poll.time = {utcMs, 60};
    poll.link = kind == Kind::TransferError ? LinkStatus::TransferError
        : kind == Kind::NoPort              ? LinkStatus::NoPort
                                            : LinkStatus::Ok;
    if (poll.link == LinkStatus::Ok) {
        poll.stateCode = 8;
        poll.stateText = "Operation";
        poll.values[ValueIndex("flame_current")] = flame;
        poll.values[ValueIndex("alarm_current")] = 0.0;
        poll.values[ValueIndex("mains_voltage")] = volts;
        poll.implausible = kind == Kind::Implausible;
    }
    return poll;
}

// The lines of a series' colour, in order.
std::vector<Picture::Line> LinesOf(const Picture& picture, const char* hex)
{
    unsigned r, g, b;
    std::sscanf(hex, "#%02x%02x%02x", &r, &g, &b);
    std::vector<Picture::Line> lines;
    for (const Picture::Line& line : picture.lines)
        if (line.colour == TrendColour{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)})
            lines.push_back(line);
    return lines;
}

bool HasText(const Picture& picture, const std::string& text)
{
    return std::any_of(picture.texts.begin(), picture.texts.end(), [&](const Picture::Text& t) { return t.text == text; });
}

// The read-out line: the only text whose parts stand two blanks apart.
const Picture::Text* Readout(const Picture& picture)
{
    for (const Picture::Text& t : picture.texts)
        if (t.text.find("  ") != std::string::npos)
            return &t;
    return nullptr;
}

TEST(TrendModel, GapsBreakTheLinesAndNeverDrawAZero)
{
    const Kind kinds[] = {Kind::Ok, Kind::Ok, Kind::TransferError, Kind::Ok, Kind::NoPort, Kind::Ok,
        Kind::Implausible, Kind::Ok, Kind::Ok};
    TrendModel trend(English);
    std::int64_t ms = TenOClockMs;
    for (Kind kind : kinds)
        trend.Add(PollAt(ms += 2000, kind));
    trend.Add(PollAt(ms += TrendMissingPollsMs + 1, Kind::Ok));  // polls missing before this one

    const Picture picture = trend.Picture(Width, Height, 1.0);
    for (const char* colour : {"#d62828", "#1d4ed8"}) {
        std::vector<std::size_t> points;
        for (const Picture::Line& line : LinesOf(picture, colour))
            points.push_back(line.points.size());
        EXPECT_EQ(points, (std::vector<std::size_t>{2, 1, 1, 2, 1})) << colour;
    }
}

TEST(TrendModel, KeepsTheLongestSpanAndShowsTheChosenOne)
{
    TrendModel trend(English);
    for (std::int64_t ms = 0; ms <= 70 * 60'000; ms += 2000)
        trend.Add(PollAt(TenOClockMs + ms, Kind::Ok));
    EXPECT_EQ(trend.Polls(), 1801u);
    const struct {
        int minutes, shownSpan, rows;
    } cases[] = {{2, 2, 61}, {10, 10, 301}, {60, 60, 1801}, {7, 10, 301}};
    for (const auto& c : cases) {
        trend.SetSpan(c.minutes);
        const std::string csv = trend.ShownValuesCsv();
        EXPECT_EQ(trend.Span(), c.shownSpan);
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), c.rows + 1) << c.minutes;
    }
}

TEST(TrendModel, LabelsTheLocalClockAtEachSpan)
{
    const struct {
        int minutes;
        std::vector<std::string> labels;
        double firstX;  // minutes from the left edge to the first label, as a share of the span
    } cases[] = {
        {2, {"10:05:30", "10:06:00", "10:06:30", "10:07:00"}, 17.0 / 120},
        {10, {"09:58", "10:00", "10:02", "10:04", "10:06"}, 47.0 / 600},
        {60, {"09:10", "09:20", "09:30", "09:40", "09:50", "10:00"}, 167.0 / 3600},
    };
    TrendModel trend(English);
    const std::int64_t newest = TenOClockMs + (7 * 60 + 13) * 1000;
    for (std::int64_t ms = newest - 60 * 60'000; ms <= newest; ms += 2000)
        trend.Add(PollAt(ms, Kind::Ok));
    for (const auto& c : cases) {
        trend.SetSpan(c.minutes);
        const Picture picture = trend.Picture(Width, Height, 1.0);
        std::vector<std::string> labels;
        std::vector<double> xs;
        for (const Picture::Text& t : picture.texts)
            if (t.align == Picture::Align::Centre) {
                labels.push_back(t.text);
                xs.push_back(t.x);
            }
        EXPECT_EQ(labels, c.labels) << c.minutes;
        ASSERT_FALSE(xs.empty());
        EXPECT_NEAR(xs.front(), 48 + c.firstX * (Width - 58), 0.01) << c.minutes;
    }
}

TEST(TrendModel, ScalesCoverTheShownValuesAndPlaceThem)
{
    TrendModel trend(English);
    trend.Add(PollAt(TenOClockMs, Kind::Ok, 0, 220));
    trend.Add(PollAt(TenOClockMs + 2000, Kind::Ok, 20, 230));
    const Picture picture = trend.Picture(Width, Height, 1.0);
    // Flame current from zero with a tenth of room; the voltage padded by a volt each side.
    for (const char* tick : {"0", "22", "219", "231"})
        EXPECT_TRUE(HasText(picture, tick)) << tick;
    const Picture::Line flame = LinesOf(picture, "#d62828").at(0);
    const Picture::Line volts = LinesOf(picture, "#1d4ed8").at(0);
    // The newest poll at the right edge; each value at its height in its own plot.
    EXPECT_DOUBLE_EQ(flame.points.back().x, Width - 10.0);
    const double flameSpan = flame.points[0].y - flame.points[1].y;
    const double voltsSpan = volts.points[0].y - volts.points[1].y;
    EXPECT_NEAR(flameSpan / 20 * 22, voltsSpan / 10 * 12, 1e-9);
    EXPECT_LT(flame.points[0].y, volts.points[1].y);
}

TEST(TrendModel, PointerReadsThePollUnderIt)
{
    TrendModel trend(Named());
    trend.SetSpan(2);
    trend.Add(PollAt(TenOClockMs, Kind::Ok, 12.5, 229));
    trend.Add(PollAt(TenOClockMs + 2000, Kind::TransferError));
    const std::int64_t newest = TenOClockMs + 60'000;
    trend.Add(PollAt(newest, Kind::Ok));
    const int plot = Width - 58;
    const auto xOf = [&](std::int64_t ms) { return 48 + static_cast<int>((ms - (newest - 120'000)) * plot / 120'000); };
    const struct {
        std::optional<int> x;
        const char* readout;  // nullptr: none
    } cases[] = {
        {xOf(TenOClockMs), "10:00:00  Operation  Flame current (uA) 12.5  Alarm current (uA) 0.0  Mains voltage (V) 229"},
        {xOf(TenOClockMs + 2000), "10:00:02  transfer error"},
        {xOf(TenOClockMs + 30'000), nullptr},  // nothing polled near it
        {std::nullopt, "10:01:00  Operation"},
    };
    for (const auto& c : cases) {
        const Picture picture = trend.Picture(Width, Height, 1.0, c.x);
        const Picture::Text* readout = Readout(picture);
        if (!c.readout) {
            EXPECT_EQ(readout, nullptr);
            continue;
        }
        ASSERT_NE(readout, nullptr) << c.readout;
        EXPECT_EQ(readout->text.substr(0, std::string(c.readout).size()), c.readout);
        EXPECT_EQ(LinesOf(picture, "#555555").size(), c.x ? 1u : 0u);
    }
}

TEST(TrendModel, DensityScalesTheLayout)
{
    TrendModel trend(English);
    trend.Add(PollAt(TenOClockMs, Kind::Ok));
    const Picture at96 = trend.Picture(Width, Height, 1.0), at144 = trend.Picture(Width * 3 / 2, Height * 3 / 2, 1.5);
    EXPECT_EQ(at96.fontPixels, 11);
    EXPECT_EQ(at144.fontPixels, 17);
    ASSERT_EQ(at96.rects.size(), at144.rects.size());
    for (std::size_t i = 0; i < at96.rects.size(); ++i) {
        EXPECT_NEAR(at144.rects[i].left, at96.rects[i].left * 1.5, 1.5);
        EXPECT_NEAR(at144.rects[i].top, at96.rects[i].top * 1.5, 3);
        EXPECT_NEAR(at144.rects[i].height, at96.rects[i].height * 1.5, 3);
    }
}

TEST(TrendModel, CopiesTheShownPollsAsTheReadingsFileWritesThem)
{
    const record::RecordLanguage& language = English;
    TrendModel trend(language);
    const DecodedPoll polls[] = {PollAt(TenOClockMs, Kind::Ok), PollAt(TenOClockMs + 2000, Kind::Implausible),
        PollAt(TenOClockMs + 4000, Kind::NoPort)};
    std::string expected = record::CsvRow(record::ReadingsCsvSink::Header(language));
    const record::NightTexts& texts = language.texts;
    for (const DecodedPoll& poll : polls) {
        trend.Add(poll);
        expected += record::CsvRow(record::ReadingsCsvSink::Row(poll, texts));
    }
    EXPECT_EQ(trend.ShownValuesCsv(), expected);
}

}  // namespace
}  // namespace kalvo
