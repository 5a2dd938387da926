#include "record/PollPlausibility.h"

#include <algorithm>
#include <cmath>

#include "core/Fields.h"

namespace kalvo::record {

namespace {

// The mains voltage a unit on a 230 V supply can measure and still run (it waits below about
// 190 V); noise reads as thousands of volts or a few.
constexpr double LowestVolts = 80, HighestVolts = 300;
// Flame sensors give tens of microamperes; the unit's inputs end well below this.
constexpr double HighestMicroamps = 150;

constexpr std::size_t LockoutsValue = ValueIndex("lockouts");

bool SameRecord(const std::optional<ErrorRecordFields>& a, const std::optional<ErrorRecordFields>& b)
{
    return a.has_value() == b.has_value() && (!a || a->bytes == b->bytes);
}

bool InRange(const std::optional<double>& value, double low, double high)
{
    return !value || (*value >= low && *value <= high);
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

// The steps a counter took from before to now. A counter at its top (the last value below the
// no-value pattern) runs over to 0, which counts as steps when it is at most `most` of them;
// otherwise a counter that went back gives a negative number.
double Steps(const UnitField& field, double before, double now, double most)
{
    if (now >= before)
        return now - before;
    const double top = std::ldexp(1.0, 8 * field.width) - 2;
    const double over = top - before + 1 + now;
    return over <= most ? over : now - before;
}

// Outputs the unit never switches together: a fuel valve or the ignition without the fan, the
// second valve without the first, and the alarm with a valve open (a lockout closes them).
bool OutputsCanBeOnTogether(const StatusFlagSet& on)
{
    const bool valve = on[FuelValve1Flag] || on[FuelValve2Flag];
    return !((valve || on[IgnitionTransformerFlag]) && !on[FanMotorFlag])
        && !(on[FuelValve2Flag] && !on[FuelValve1Flag]) && !(on[AlarmFlag] && valve);
}

bool PrintableText(const std::string& text)
{
    return std::none_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

bool MeasuredInRange(const DecodedPoll& poll)
{
    for (std::size_t i = 0; i < ValueFields.size(); ++i) {
        const Unit unit = ValueFields[i].unit;
        if ((unit == Unit::Volts && !InRange(poll.values[i], LowestVolts, HighestVolts))
            || (unit == Unit::Microamps && !InRange(poll.values[i], 0, HighestMicroamps)))
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

bool PlausibilityCheck::OnItsOwn(const DecodedPoll& poll) const
{
    if (!NamedState(poll.stateCode) || !MeasuredInRange(poll) || !PrintableText(poll.statusText)
        || (poll.flags && !OutputsCanBeOnTogether(*poll.flags)))
        return false;
    // The unit writes its history from the top, the newest record first.
    const ErrorRecordFields* newer = nullptr;
    bool emptySeen = false;
    for (const auto& record : poll.errorRecords) {
        if (!record) {
            emptySeen = true;
            continue;
        }
        if (emptySeen || !NamedState(record->stateCode) || !InRange(record->volts, LowestVolts, HighestVolts)
            || !InRange(record->microamps, 0, HighestMicroamps)
            || (newer && newer->counter && record->counter && *record->counter > *newer->counter))
            return false;
        newer = &*record;
    }
    return true;
}

PlausibilityCheck::CounterCourse PlausibilityCheck::Counters(const DecodedPoll& before, const DecodedPoll& now)
{
    const double seconds = std::max<std::int64_t>(0, now.time.utcMs - before.time.utcMs) / 1000.0;
    const double mostSteps = 2 + seconds / 5;
    CounterCourse course = CounterCourse::KeptPace;
    for (std::size_t i = 0; i < ValueFields.size(); ++i) {
        const auto &was = before.values[i], &is = now.values[i];
        const Course kind = CourseOf(i);
        if (kind == Course::Free || !was || !is)
            continue;
        const double steps = kind == Course::Counting ? Steps(ValueFields[i], *was, *is, mostSteps) : *is - *was;
        if (steps < 0)
            return CounterCourse::WentBack;
        if (kind == Course::Counting && steps > mostSteps)
            course = CounterCourse::Leapt;
    }
    return course;
}

std::optional<int> PlausibilityCheck::NewRecords(const DecodedPoll& before, const DecodedPoll& now)
{
    // Each lockout writes one record; without a lockout counter on both sides none came in.
    int fresh = 0;
    const auto &was = before.values[LockoutsValue], &is = now.values[LockoutsValue];
    if (was && is) {
        const double steps = Steps(ValueFields[LockoutsValue], *was, *is, ErrorRecordCount);
        if (steps < 0)
            return std::nullopt;
        fresh = static_cast<int>(std::min<double>(steps, ErrorRecordCount));
    }
    const auto top = static_cast<std::size_t>(fresh);
    const auto& older = before.errorRecords;
    const auto& newer = now.errorRecords;
    for (std::size_t i = 0; i < newer.size(); ++i)
        if (i < top ? !newer[i] : !SameRecord(newer[i], older[i - top]))
            return std::nullopt;
    return fresh;
}

std::optional<int> PlausibilityCheck::Follows(const DecodedPoll& baseline, const DecodedPoll& poll)
{
    if (Counters(baseline, poll) != CounterCourse::KeptPace)
        return std::nullopt;
    return NewRecords(baseline, poll);
}

}  // namespace kalvo::record
