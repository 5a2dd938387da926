#include "window/TrendModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "record/CivilTime.h"
#include "record/CsvFiles.h"
#include "record/NightChart.h"
#include "record/NightFormat.h"
#include "record/NightStatistics.h"
#include "record/PollDecoding.h"

namespace kalvo {

namespace {

// The three lines, top to bottom: which value, its colour, and whether its scale starts at zero.
struct SeriesKind {
    std::size_t value;
    const char* colour;
    bool fromZero;
};
constexpr std::array<SeriesKind, 3> Series{{
    {ValueIndex("flame_current"), record::FlameCurveColour, true},
    {ValueIndex("alarm_current"), "#7b2cbf", true},
    {ValueIndex("mains_voltage"), record::VoltsCurveColour, false},
}};

constexpr char PlotColour[] = "#fafafa";
constexpr char GridColour[] = "#dddddd";
constexpr char MarkerColour[] = "#555555";

// Heights and margins at 96 DPI, in pixels.
constexpr int LeftMargin = 48, RightMargin = 10, TopMargin = 4, ReadoutHeight = 16, TitleHeight = 14,
              BandHeight = 14, AxisHeight = 16, FontSize = 11, MinimumPlotHeight = 8;

TrendColour ColourOf(const char* hex)
{
    unsigned red = 0, green = 0, blue = 0;
    std::sscanf(hex, "#%02x%02x%02x", &red, &green, &blue);
    return {static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green), static_cast<std::uint8_t>(blue)};
}

// The distance between time labels at a span: about five labels across.
std::int64_t LabelStepMs(int spanMinutes)
{
    return spanMinutes <= 2 ? 30'000 : spanMinutes <= 10 ? 120'000 : 600'000;
}

// "22:40" or, for labels less than a minute apart, "22:40:30".
std::string ClockText(std::int64_t localSeconds, bool withSeconds)
{
    const record::CivilTime t = record::ToCivil(localSeconds);
    char text[16];
    if (withSeconds)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    else
        std::snprintf(text, sizeof text, "%02d:%02d", t.hour, t.minute);
    return text;
}

}  // namespace

// Where the shown span lies in pixels: time runs from startMs at left to endMs at left + width.
struct TrendModel::Frame {
    double scale;
    std::int64_t startMs, endMs;
    int left, width;
    int bandTop, axisTop;

    int Px(double units) const { return static_cast<int>(std::lround(units * scale)); }
    double X(std::int64_t utcMs) const
    {
        return left + static_cast<double>(utcMs - startMs) * width / static_cast<double>(endMs - startMs);
    }
};

TrendModel::TrendModel(const record::RecordLanguage& language)
    : texts_(language.texts),
      csvHeader_(record::CsvRow(record::ReadingsCsvSink::Header(language)))
{
    for (std::size_t i = 0; i < Series.size(); ++i) {
        const UnitField& field = ValueFields[Series[i].value];
        seriesTitles_[i] = record::ColumnTitle(language.lines[field.labelLine], field.key, field.unit);
    }
}

void TrendModel::Add(const record::DecodedPoll& poll)
{
    Poll kept{poll.time, poll.link, poll.implausible, poll.stateCode, {},
        record::CsvRow(record::ReadingsCsvSink::Row(poll, texts_))};
    if (poll.link == LinkStatus::Ok && !poll.implausible) {
        for (std::size_t i = 0; i < Series.size(); ++i)
            if (const std::optional<double>& value = poll.values[Series[i].value])
                kept.values[i] = static_cast<float>(*value);
        if (poll.stateCode && !poll.stateText.empty())
            stateTexts_.try_emplace(*poll.stateCode, poll.stateText);
    } else {
        kept.state.reset();
    }
    polls_.push_back(std::move(kept));
    const std::int64_t oldestKept = poll.time.utcMs - TrendSpans.back() * 60'000LL;
    while (polls_.front().time.utcMs < oldestKept)
        polls_.pop_front();
}

void TrendModel::SetSpan(int minutes)
{
    spanMinutes_ = std::find(TrendSpans.begin(), TrendSpans.end(), minutes) != TrendSpans.end() ? minutes
                                                                                                  : DefaultTrendSpan;
}

std::deque<TrendModel::Poll>::const_iterator TrendModel::FirstShown() const
{
    if (polls_.empty())
        return polls_.end();
    const std::int64_t start = polls_.back().time.utcMs - spanMinutes_ * 60'000LL;
    return std::lower_bound(polls_.begin(), polls_.end(), start,
        [](const Poll& poll, std::int64_t ms) { return poll.time.utcMs < ms; });
}

TrendPicture TrendModel::Picture(int width, int height, double scale, std::optional<int> pointerX) const
{
    const std::int64_t endMs = polls_.empty() ? 0 : polls_.back().time.utcMs;
    Frame frame{scale, endMs - spanMinutes_ * 60'000LL, endMs, 0, 0, 0, 0};
    frame.left = frame.Px(LeftMargin);
    frame.width = std::max(width - frame.left - frame.Px(RightMargin), 1);
    const int readoutTop = frame.Px(TopMargin), titleHeight = frame.Px(TitleHeight);
    frame.bandTop = readoutTop + frame.Px(ReadoutHeight) + titleHeight;
    const int fixed = frame.bandTop + frame.Px(BandHeight) + 3 * titleHeight + frame.Px(AxisHeight);
    const int plotHeight = std::max((height - fixed) / 3, frame.Px(MinimumPlotHeight));
    frame.axisTop = frame.bandTop + frame.Px(BandHeight) + 3 * (titleHeight + plotHeight);

    TrendPicture picture;
    picture.fontPixels = frame.Px(FontSize);
    picture.texts.push_back({static_cast<double>(frame.left), frame.bandTop - titleHeight / 2.0,
        TrendPicture::Align::Left, texts_[record::NightWord::BurnerState]});
    AddBand(picture, frame);
    // The grid first, so the curves are drawn over it.
    AddTimeLabels(picture, frame, frame.axisTop + frame.Px(AxisHeight) / 2);
    int top = frame.bandTop + frame.Px(BandHeight);
    for (std::size_t series = 0; series < Series.size(); ++series) {
        picture.texts.push_back({static_cast<double>(frame.left), top + titleHeight / 2.0, TrendPicture::Align::Left,
            seriesTitles_[series]});
        top += titleHeight;
        AddSeries(picture, frame, series, top, plotHeight);
        top += plotHeight;
    }

    const std::optional<std::size_t> shown =
        pointerX ? PollNear(frame, *pointerX) : (polls_.empty() ? std::nullopt : std::optional(polls_.size() - 1));
    if (shown) {
        const Poll& poll = polls_[*shown];
        picture.texts.push_back({static_cast<double>(frame.left), readoutTop + frame.Px(ReadoutHeight) / 2.0,
            TrendPicture::Align::Left, Readout(poll)});
        if (pointerX) {
            const double x = frame.X(poll.time.utcMs);
            // Under the curves, so it hides none of their points.
            TrendPicture::Line marker{{{x, static_cast<double>(frame.bandTop)}, {x, static_cast<double>(frame.axisTop)}},
                ColourOf(MarkerColour), std::max(1.0, scale)};
            picture.lines.insert(picture.lines.begin(), std::move(marker));
        }
    }
    return picture;
}

// Each poll's state lasts until the next poll, but not across missing polls; a run of one state
// is one piece.
void TrendModel::AddBand(TrendPicture& picture, const Frame& frame) const
{
    const int height = frame.Px(BandHeight);
    picture.rects.push_back({frame.left, frame.bandTop, frame.width, height, ColourOf(PlotColour)});
    const auto slot = [](const Poll& poll) {
        return poll.implausible ? record::NoDataSlot : record::StateSlot(poll.link, poll.state);
    };
    const auto endOf = [&](std::deque<Poll>::const_iterator p) {
        const std::int64_t limit = p->time.utcMs + TrendMissingPollsMs;
        return p + 1 == polls_.end() ? p->time.utcMs : std::min((p + 1)->time.utcMs, limit);
    };
    for (auto p = FirstShown(); p != polls_.end();) {
        auto last = p;
        while (last + 1 != polls_.end() && slot(*(last + 1)) == slot(*p) && endOf(last) == (last + 1)->time.utcMs)
            ++last;
        const int x0 = static_cast<int>(std::lround(frame.X(p->time.utcMs)));
        const int x1 = static_cast<int>(std::lround(frame.X(endOf(last))));
        if (x1 > x0)
            picture.rects.push_back(
                {x0, frame.bandTop, x1 - x0, height, ColourOf(record::StateSlotColour(slot(*p)))});
        p = last + 1;
    }
}

// A point per poll with a value; a gap or missing polls start a new line. The scale covers the
// shown values, as the night report's does, with its two ends labelled.
void TrendModel::AddSeries(TrendPicture& picture, const Frame& frame, std::size_t series, int top, int height) const
{
    picture.rects.push_back({frame.left, top, frame.width, height, ColourOf(PlotColour)});
    record::ValueRange range;
    for (auto p = FirstShown(); p != polls_.end(); ++p)
        if (const std::optional<float>& value = p->values[series])
            range.Add(*value);
    if (range.Empty())
        return;
    const record::CurveScale scale = record::ScaleOf(range, Series[series].fromZero);
    for (double tick : {scale.bottom, scale.ceiling})
        picture.texts.push_back({static_cast<double>(frame.left - frame.Px(3)), scale.Y(tick, top, height), TrendPicture::Align::Right,
            record::Fixed(tick, scale.decimals)});
    const TrendColour colour = ColourOf(Series[series].colour);
    std::optional<std::int64_t> lastMs;
    for (auto p = FirstShown(); p != polls_.end(); ++p) {
        const std::optional<float>& value = p->values[series];
        if (!value) {
            lastMs.reset();
            continue;
        }
        if (!lastMs || p->time.utcMs - *lastMs > TrendMissingPollsMs)
            picture.lines.push_back({{}, colour, 1.5 * frame.scale});
        picture.lines.back().points.push_back({frame.X(p->time.utcMs), scale.Y(*value, top, height)});
        lastMs = p->time.utcMs;
    }
}

// Labels at whole steps of the local clock, each with a grid line through the plots.
void TrendModel::AddTimeLabels(TrendPicture& picture, const Frame& frame, int y) const
{
    if (polls_.empty())
        return;
    const std::int64_t offsetMs = polls_.back().time.utcOffsetMinutes * 60'000LL;
    const std::int64_t step = LabelStepMs(spanMinutes_);
    const std::int64_t firstLocal = record::FloorDiv(frame.startMs + offsetMs + step - 1, step) * step;
    for (std::int64_t local = firstLocal; local <= frame.endMs + offsetMs; local += step) {
        const double x = frame.X(local - offsetMs);
        picture.lines.push_back({{{x, static_cast<double>(frame.bandTop)}, {x, static_cast<double>(frame.axisTop)}},
            ColourOf(GridColour), 1.0});
        picture.texts.push_back(
            {x, static_cast<double>(y), TrendPicture::Align::Centre, ClockText(local / 1000, step < 60'000)});
    }
}

// The shown poll nearest the pointer, when one lies within the distance that counts as missing.
std::optional<std::size_t> TrendModel::PollNear(const Frame& frame, int x) const
{
    const double atMs = frame.startMs + (x - frame.left) * static_cast<double>(frame.endMs - frame.startMs) / frame.width;
    std::optional<std::size_t> nearest;
    double distance = TrendMissingPollsMs;
    for (auto p = FirstShown(); p != polls_.end(); ++p) {
        const double d = std::abs(static_cast<double>(p->time.utcMs) - atMs);
        if (d <= distance) {
            distance = d;
            nearest = static_cast<std::size_t>(p - polls_.begin());
        }
    }
    return nearest;
}

// "22:40:02  Operation  Flame current (uA) 12.5  ..."; for a gap, why: "22:40:04  transfer error".
std::string TrendModel::Readout(const Poll& poll) const
{
    std::string text = ClockText(record::LocalSeconds(poll.time), true) + "  ";
    if (poll.implausible)
        return text + texts_[record::NightWord::ColumnImplausible];
    if (poll.link != LinkStatus::Ok)
        return text + texts_[record::LinkWord(poll.link)];
    text += poll.state ? record::StateLabel(*poll.state, stateTexts_, texts_) : "-";
    for (std::size_t i = 0; i < Series.size(); ++i) {
        const std::optional<float>& value = poll.values[i];
        text += "  " + seriesTitles_[i] + " "
            + (value ? record::NumberText(*value, ValueFields[Series[i].value].unit) : std::string("-"));
    }
    return text;
}

std::string TrendModel::ShownValuesCsv() const
{
    std::string csv = csvHeader_;
    for (auto p = FirstShown(); p != polls_.end(); ++p)
        csv += p->csvRow;
    return csv;
}

}  // namespace kalvo
