#include "record/PollPlausibility.h"

#include <algorithm>

#include "core/Fields.h"

namespace kalvo::record {

namespace {

bool SameRecord(const std::optional<ErrorRecordFields>& a, const std::optional<ErrorRecordFields>& b)
{
    return a.has_value() == b.has_value() && (!a || a->bytes == b->bytes);
}

// How a value can move from one poll to the next.
enum class Course {
    Free,      // any way: measured values, the programmed and measured durations
    Counting,  // up one at a time, seconds apart at the least: the counters
    Growing,   // never down: the burner run time, which the unit may add a whole run to at its end
};

Course CourseOf(std::size_t value)
{
    if (ValueFields[value].unit == Unit::Count || value == ValueIndex("sequence_counter"))
        return Course::Counting;
    return value == ValueIndex("burner_run_time") ? Course::Growing : Course::Free;
}

// Noise in a counter mostly reads as a leap of thousands or a step back; the timing block has two
// such values, so noise confined to it shows too.
bool CountersKeptPace(const DecodedPoll& baseline, const DecodedPoll& poll)
{
    const double seconds = std::max<std::int64_t>(0, poll.time.utcMs - baseline.time.utcMs) / 1000.0;
    const double mostSteps = 2 + seconds / 5;
    for (std::size_t i = 0; i < ValueFields.size(); ++i) {
        const auto &before = baseline.values[i], &now = poll.values[i];
        const Course course = CourseOf(i);
        if (course == Course::Free || !before || !now)
            continue;
        if (*now < *before || (course == Course::Counting && *now - *before > mostSteps))
            return false;
    }
    return true;
}

}  // namespace

PlausibilityCheck::PlausibilityCheck(const LanguageLines& language) : language_(language)
{
    languageNamesStates_ = false;
    for (int code = 0; code < StateNameCount; ++code)
        languageNamesStates_ = languageNamesStates_ || !FormatState(static_cast<std::uint8_t>(code), language).empty();
}

// Without a language file no state has a name; the unit's sixteen codes are taken then.
bool PlausibilityCheck::NamedState(const std::optional<int>& code) const
{
    if (!code || *code >= StateNameCount)
        return false;
    return !languageNamesStates_ || !FormatState(static_cast<std::uint8_t>(*code), language_).empty();
}

std::optional<int> PlausibilityCheck::Follows(const DecodedPoll& baseline, const DecodedPoll& poll) const
{
    if (!NamedState(poll.stateCode) || !CountersKeptPace(baseline, poll))
        return std::nullopt;
    const auto& before = baseline.errorRecords;
    const auto& now = poll.errorRecords;
    for (int fresh = 0; fresh <= ErrorRecordCount; ++fresh) {
        const auto top = static_cast<std::size_t>(fresh);
        if (fresh > 0 && (!now[top - 1] || !NamedState(now[top - 1]->stateCode)))
            return std::nullopt;  // a new record is a real one
        bool shifted = true;
        for (std::size_t i = 0; i + top < now.size() && shifted; ++i)
            shifted = SameRecord(now[i + top], before[i]);
        if (shifted)
            return fresh;
    }
    return std::nullopt;
}

}  // namespace kalvo::record
