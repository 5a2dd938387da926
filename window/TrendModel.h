#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Language.h"
#include "record/NightTexts.h"
#include "record/RecordLanguage.h"
#include "record/PollRecord.h"

// The trend window's content, worked out once for every face: the last minutes of flame current,
// alarm current and mains voltage as lines and the burner state as a band, newest at the right.
// A face asks for the picture at its size and density and paints it as given.
namespace kalvo {

// The spans the trend offers, in minutes; the first shown is the middle one.
inline constexpr std::array<int, 3> TrendSpans{2, 10, 60};
inline constexpr int DefaultTrendSpan = 10;
// Polls further apart than this leave a gap: the window polled nothing in between.
inline constexpr std::int64_t TrendMissingPollsMs = 10'000;

// A colour as the night report writes it, in numbers.
struct TrendColour {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const TrendColour&) const = default;
};

// What a face paints, in device pixels, in this order: rectangles, lines, texts.
struct TrendPicture {
    struct Rect {
        int left, top, width, height;
        TrendColour fill;
    };
    struct Point {
        double x, y;
    };
    // A polyline; a gap in a series starts a new one.
    struct Line {
        std::vector<Point> points;
        TrendColour colour;
        double width;
    };
    enum class Align { Left, Centre, Right };
    // UTF-8; its horizontal place by align, vertically centred on y.
    struct Text {
        double x, y;
        Align align;
        std::string text;
    };
    int fontPixels = 0;
    std::vector<Rect> rects;
    std::vector<Line> lines;
    std::vector<Text> texts;
};

// The trend of a window's polls, the last TrendSpans.back() minutes of them.
class TrendModel {
public:
    // The language names the series, the states and the CSV columns, as the recorder's files do;
    // it is read here once.
    explicit TrendModel(const record::RecordLanguage& language);

    // A poll as the recorder judged it: a transfer error, a poll without a port and an
    // implausible poll are gaps. Polls older than the longest span before it are dropped.
    void Add(const record::DecodedPoll& poll);

    // Minutes, one of TrendSpans; any other number is taken as the default.
    void SetSpan(int minutes);
    int Span() const { return spanMinutes_; }
    std::size_t Polls() const { return polls_.size(); }

    // What to paint in a client area of this many pixels at this scale (1 at 96 DPI). With a
    // pointer x the read-out names the poll under it and a marker shows it; without, the newest.
    TrendPicture Picture(int width, int height, double scale, std::optional<int> pointerX = std::nullopt) const;
    // The shown span as the recorder's readings file has it: its header, then a row per poll.
    std::string ShownValuesCsv() const;

private:
    struct Poll {
        record::LocalTime time;
        LinkStatus link;
        bool implausible;
        std::optional<int> state;
        std::array<std::optional<float>, 3> values;
        std::string csvRow;
    };
    struct Frame;

    std::deque<Poll>::const_iterator FirstShown() const;
    std::optional<std::size_t> PollNear(const Frame& frame, int x) const;
    void AddBand(TrendPicture& picture, const Frame& frame) const;
    void AddSeries(TrendPicture& picture, const Frame& frame, std::size_t series, int top, int height) const;
    void AddTimeLabels(TrendPicture& picture, const Frame& frame, int y) const;
    std::string Readout(const Poll& poll) const;

    record::NightTexts texts_;
    std::string csvHeader_;
    std::array<std::string, 3> seriesTitles_;
    std::deque<Poll> polls_;
    std::map<int, std::string> stateTexts_;  // by code, as polls named them
    int spanMinutes_ = DefaultTrendSpan;
};

}  // namespace kalvo
