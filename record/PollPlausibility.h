#pragma once

#include <optional>

#include "core/Language.h"
#include "record/PollRecord.h"

namespace kalvo::record {

// Replies carry no check, so a reply of the right length may be noise. A poll is judged twice:
// on its own (OnItsOwn: what the unit can report at all) and against an earlier poll of the unit
// (Follows: no counter went down or leapt further than the unit counts in the time between, the
// burner run time did not go down, and its error history is the earlier one moved down by exactly
// the records the lockout counter added). The recorder takes a poll as the unit's measure only
// once a second poll follows it, and keeps an implausible poll as it came, raising no event.
class PlausibilityCheck {
public:
    explicit PlausibilityCheck(const LanguageLines& language);

    // How the counters of a poll stand to those of an earlier one.
    enum class CounterCourse { KeptPace, WentBack, Leapt };

    // A poll whose link was ok that the unit could have sent: a state the language names, mains
    // voltage and currents in the unit's ranges, outputs that can be on together, a status text
    // without control characters, and an error history of named records filled from the top, the
    // newer never of a lower counter reading.
    bool OnItsOwn(const DecodedPoll& poll) const;
    // The number of new records on top of the history when poll follows baseline plausibly;
    // nothing when it cannot follow it.
    static std::optional<int> Follows(const DecodedPoll& baseline, const DecodedPoll& poll);
    // The records that came in on top between the two polls, when the lockout counter and the
    // history agree on them; nothing when they do not.
    static std::optional<int> NewRecords(const DecodedPoll& before, const DecodedPoll& now);
    static CounterCourse Counters(const DecodedPoll& before, const DecodedPoll& now);

private:
    bool NamedState(const std::optional<int>& code) const;

    const LanguageLines& language_;
    bool languageNamesStates_;
};

}  // namespace kalvo::record
