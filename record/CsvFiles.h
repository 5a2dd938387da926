#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/Language.h"
#include "record/DayFile.h"
#include "record/PollRecord.h"
#include "record/RecordLanguage.h"

namespace kalvo::record {

// One CSV record as RFC 4180 writes it: fields quoted when they hold a comma, a quote or a line
// break (quotes doubled), ended by CR LF.
std::string CsvRow(const std::vector<std::string>& fields);

// A number as the CSV files write it: units with tenths keep one decimal ("30.5", "230.0"),
// counters and minutes are whole; an absent value is the empty text.
std::string NumberText(const std::optional<double>& value, Unit unit);

// readings-YYYY-MM-DD.csv: one row per poll. Column titles and the link's words are in the
// recording's language. The last column marks with 1 a poll the recorder took for noise
// (PlausibilityCheck).
class ReadingsCsvSink : public PollSink {
public:
    ReadingsCsvSink(const std::filesystem::path& folder, const RecordLanguage& language, Durability durability);
    void OnPoll(const PollInput& raw, const DecodedPoll& poll) override;
    void OnEvent(const RecordEvent&) override {}
    const DayFiles& Files() const { return files_; }

    static std::vector<std::string> Header(const RecordLanguage& language);
    static std::vector<std::string> Row(const DecodedPoll& poll, const NightTexts& texts);

private:
    NightTexts texts_;
    DayFiles files_;
};

// events-YYYY-MM-DD.csv: one row per event, its kind and link in the recording's language.
class EventsCsvSink : public PollSink {
public:
    EventsCsvSink(const std::filesystem::path& folder, const RecordLanguage& language, Durability durability);
    // The first poll resumes the day's file: events may not come for hours.
    void OnPoll(const PollInput& raw, const DecodedPoll&) override { files_.Resume(raw.time); }
    void OnEvent(const RecordEvent& event) override;
    const DayFiles& Files() const { return files_; }

    static std::vector<std::string> Header(const RecordLanguage& language);
    static std::vector<std::string> Row(const RecordEvent& event, const NightTexts& texts);

private:
    NightTexts texts_;
    DayFiles files_;
};

}  // namespace kalvo::record
