#pragma once

#include <string>

#include "record/NightReport.h"
#include "record/NightStatistics.h"
#include "record/NightTexts.h"

namespace kalvo::record {

// What a lockout panel shows around the lockout's moment.
inline constexpr std::int64_t PanelBeforeMs = 3 * 60'000, PanelAfterMs = 60'000;

// Each lockout up close, beside the unit's new error record: the burner state band, flame current
// and mains voltage from three minutes before it to one minute after, every poll drawn, so that a
// flame missing at the end of the safety time and a flame lost after a voltage dip look different
// at a glance. Empty for a recording without lockouts.
std::string LockoutPanels(const NightSummary& summary, const NightStatistics& night, const NightTexts& texts);

}  // namespace kalvo::record
