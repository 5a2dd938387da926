#include "record/NightReport.h"

#include <cmath>

#include "core/FileReplace.h"
#include "record/DayFile.h"
#include "record/NightChart.h"
#include "record/NightFormat.h"
#include "record/NightLockoutPanels.h"
#include "record/NightStatistics.h"
#include "record/NightStyle.h"
#include "record/NightTables.h"
#include "record/RawReplies.h"
#include "record/Recorder.h"

namespace kalvo::record {

namespace {

std::uint16_t Tenths(const std::optional<double>& value)
{
    return value ? static_cast<std::uint16_t>(std::lround(*value * 10)) : NightSummary::NoNumber;
}

constexpr std::size_t FlameValue = ValueIndex("flame_current");
constexpr std::size_t VoltsValue = ValueIndex("mains_voltage");

std::string Page(const NightTexts& texts, const std::string& body)
{
    return "<!DOCTYPE html>\n<html lang=\"" + EscapeHtml(texts.LanguageCode())
        + "\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>"
        + EscapeHtml(texts[NightWord::Title]) + "</title>\n<style>\n" + std::string(NightReportStyle())
        + "</style>\n</head>\n<body>\n<h1>" + EscapeHtml(texts[NightWord::Title]) + "</h1>\n" + body
        + "</body>\n</html>\n";
}

}  // namespace

void NightSummary::OnPoll(const PollInput&, const DecodedPoll& poll)
{
    if (poll.implausible) {  // noise taken for a reply: no state, no values, no start
        ++implausiblePolls_;
        return;
    }
    Sample sample{poll.time.utcMs, static_cast<std::int16_t>(poll.time.utcOffsetMinutes), NoNumber, NoNumber, NoState,
        poll.link, false, false};
    if (poll.link == LinkStatus::Ok) {
        if (poll.stateCode) {
            sample.state = static_cast<std::uint8_t>(*poll.stateCode);
            stateTexts_.try_emplace(*poll.stateCode, poll.stateText);
        }
        sample.flame = Tenths(poll.values[FlameValue]);
        sample.volts = Tenths(poll.values[VoltsValue]);
        sample.flameOn = poll.flags && (*poll.flags)[FlameFlag];
        sample.valve1Open = poll.flags && (*poll.flags)[FuelValve1Flag];
    }
    samples_.push_back(sample);
}

void NightSummary::OnEvent(const RecordEvent& event)
{
    if (event.kind != EventKind::StateChange && event.kind != EventKind::LinkBack)
        markers_.push_back(event);
}

NightSummary SummarizePolls(
    const LanguageLines& language, const std::function<void(const std::function<void(const PollInput&)>&)>& feed)
{
    auto summary = std::make_unique<NightSummary>();
    NightSummary* const collected = summary.get();
    Recorder recorder(language);
    recorder.AddSink(std::move(summary));
    feed([&recorder](const PollInput& poll) { recorder.RecordPoll(poll); });
    return std::move(*collected);
}

NightSummary SummarizeRecording(const std::filesystem::path& folder, const LanguageLines& language)
{
    std::vector<MissingSpan> missing;
    NightSummary summary =
        SummarizePolls(language, [&](const auto& onPoll) { missing = ReadRecording(folder, onPoll); });
    summary.missing = std::move(missing);
    return summary;
}

namespace {

// A line for each part of the recording that could not be read.
std::string MissingLines(const NightSummary& summary, const NightTexts& texts)
{
    std::string lines;
    for (const MissingSpan& span : summary.missing)
        lines += "<p class=\"missing\">" + EscapeHtml(texts[NightWord::Missing]) + ": "
            + EscapeHtml(MissingSpanText(span)) + "</p>\n";
    return lines;
}

}  // namespace

std::string NightReportHtml(const NightSummary& summary, const NightTexts& texts)
{
    if (summary.Samples().empty() && summary.ImplausiblePolls() > 0)
        return Page(texts, "<p>" + EscapeHtml(texts[NightWord::OnlyImplausiblePolls]) + " "
            + std::to_string(summary.ImplausiblePolls()) + ".</p>\n" + MissingLines(summary, texts));
    if (summary.Samples().empty())
        return Page(texts, "<p>" + EscapeHtml(texts[NightWord::NoPolls]) + "</p>\n" + MissingLines(summary, texts));
    const NightStatistics night = ComputeNightStatistics(summary, NightChartColumns);
    const std::string narrowChart = NightChartSvg(ComputeNightStatistics(summary, NarrowNightChartColumns), texts);
    return Page(texts,
        SpanParagraph(night, texts) + MissingLines(summary, texts) + TotalsTable(night, texts) + "<h2>"
            + EscapeHtml(texts[NightWord::Timeline]) + "</h2>\n<div class=\"chart wide\">" + NightChartSvg(night, texts)
            + "</div>\n<div class=\"chart narrow\">" + narrowChart + "</div>\n" + ChartLegend(night, texts)
            + MarkerTable(night, texts) + LockoutPanels(summary, night, texts) + PeriodTable(night, texts));
}

std::vector<MissingSpan> WriteNightReport(
    const std::filesystem::path& folder, const RecordLanguage& language, const std::filesystem::path& output)
{
    NightSummary summary = SummarizeRecording(folder, language.lines);
    // Written beside and renamed over, so a full disk leaves the previous report whole.
    std::error_code reason;
    if (!ReplaceFileContent(output.string(), NightReportHtml(summary, language.texts), &reason))
        throw RecordError("Cannot write the report to " + PathText(output) + ": " + reason.message());
    return std::move(summary.missing);
}

}  // namespace kalvo::record
