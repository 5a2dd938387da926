#pragma once

#include <optional>

#include "core/Language.h"
#include "record/PollRecord.h"

namespace kalvo::record {

// Replies carry no check, so a reply of the right length may be noise. A poll whose link was ok
// is plausible when its state is one the language names and, against the last plausible poll, no
// counter (the sequence counter of the timing block among them) went down or leapt further than
// the unit can count in the time between, the burner run time did not go down, and its error
// history is that poll's moved down by the records that came in on top. An implausible poll is
// kept as it came but raises no event.
class PlausibilityCheck {
public:
    explicit PlausibilityCheck(const LanguageLines& language);

    // The number of new records on top of the history when poll follows baseline plausibly;
    // nothing when it cannot follow it.
    std::optional<int> Follows(const DecodedPoll& baseline, const DecodedPoll& poll) const;
    bool NamedState(const std::optional<int>& code) const;

private:
    const LanguageLines& language_;
    bool languageNamesStates_;
};

}  // namespace kalvo::record
