#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "record/NightTexts.h"
#include "record/PollRecord.h"

namespace kalvo::record {

// The small texts the night report's page and chart share.

// The text with &, <, > and " escaped for HTML and SVG.
std::string EscapeHtml(const std::string& text);
// The number with a fixed count of decimals: "12.5".
std::string Fixed(double value, int decimals);
// "+01:00", a local time's offset from UTC.
std::string OffsetText(int utcOffsetMinutes);
// "2026-12-07 02:10", the local time of a moment; with its offset "2026-10-25 02:10 +01:00".
std::string DateTimeText(std::int64_t utcMs, int utcOffsetMinutes, bool withOffset = false);
// The report's unit of a current: the micro sign, which its UTF-8 page can show (the CSV files keep
// their plain "uA").
inline constexpr std::string_view MicroampsText = "\u00B5A";

// "31 s", "12 min", "7 h 05 min", "30 d 04 h": whole units, the largest two that say it well.
std::string DurationText(std::int64_t ms);
// The language's name of a state, or "state 23" for a code it has none for.
std::string StateLabel(int code, const std::map<int, std::string>& stateTexts, const NightTexts& texts);
// The state an error record was stored in: its language text, or "state 23".
std::string RecordStateText(const ErrorRecordFields& record, const NightTexts& texts);
// What a marker says: "Lockout: Safety time, Mains voltage: 229.1 V, ...", "Link lost: no port",
// "the unit's counters went back: another unit?".
std::string MarkerText(const RecordEvent& marker, const NightTexts& texts);

}  // namespace kalvo::record
