#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/Language.h"
#include "record/PollRecord.h"
#include "record/RawReplies.h"
#include "record/RecordLanguage.h"

namespace kalvo::record {

// A recording boiled down to what the night report draws. Built in one pass; a poll costs a few
// bytes, so a month of polls fits easily.
class NightSummary : public PollSink {
public:
    static constexpr std::uint8_t NoState = 0xFF;
    static constexpr std::uint16_t NoNumber = 0xFFFF;

    // What the report keeps of a poll: 16 bytes, so a month's 1.1 million polls take 18 MB.
    struct Sample {
        std::int64_t utcMs;
        std::int16_t utcOffsetMinutes;
        std::uint16_t flame;      // tenths of uA; 0xFFFF: none
        std::uint16_t volts;      // tenths of V; 0xFFFF: none
        std::uint8_t state;       // 0xFF: none
        LinkStatus link : 2;
        bool flameOn : 1, valve1Open : 1;
    };
    static_assert(sizeof(Sample) == 16);

    void OnPoll(const PollInput& raw, const DecodedPoll& poll) override;
    void OnEvent(const RecordEvent& event) override;

    const std::vector<Sample>& Samples() const { return samples_; }
    // Lockouts (new error records), link losses and units that do not continue the one before, in order.
    const std::vector<RecordEvent>& Markers() const { return markers_; }
    // The language's text of each state code seen.
    const std::map<int, std::string>& StateTexts() const { return stateTexts_; }
    // The parts of the recording that could not be read.
    std::vector<MissingSpan> missing;
    std::int64_t ImplausiblePolls() const { return implausiblePolls_; }

private:
    std::vector<Sample> samples_;
    std::vector<RecordEvent> markers_;
    std::map<int, std::string> stateTexts_;
    std::int64_t implausiblePolls_ = 0;
};

// Summarises the polls that feed hands to its callback, decoded as the recorder decodes them.
NightSummary SummarizePolls(
    const LanguageLines& language, const std::function<void(const std::function<void(const PollInput&)>&)>& feed);

// Reads every raw replies file in the folder and summarises it. Throws RecordError for a damaged
// file or a folder without one.
NightSummary SummarizeRecording(const std::filesystem::path& folder, const LanguageLines& language);

// The night report: one HTML page with inline SVG and styles, nothing fetched from elsewhere, in
// the language of texts (the state names are the summary's).
std::string NightReportHtml(const NightSummary& summary, const NightTexts& texts);

// Summarises the recording in folder and writes its report to output; returns the parts of the
// recording that could not be read (the report says them too).
std::vector<MissingSpan> WriteNightReport(
    const std::filesystem::path& folder, const RecordLanguage& language, const std::filesystem::path& output);

}  // namespace kalvo::record
