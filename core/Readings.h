#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Language.h"

namespace kalvo {

// One raw reply block: the data bytes of a reply from position 0 on, the rest zero.
using Block = std::array<std::uint8_t, 256>;

// The display texts decoded from the status and timing blocks after every poll.
struct ReadingTextSet {
    std::string StatusStringText;
    std::string Int24Text1, Int24Text2, Int24Text3;
    std::string CurrentText1, FlameCurrentText, CurrentText3, AlarmCurrentText;
    std::string MainsVoltageText;
    std::string StateText;
    std::string Int16Text1, Int16Text2, Int16Text3, Int16Text4, Int16Text5;
    std::string DurationText1, DurationText2, DurationText3, DurationText4, DurationText5;
    std::string HoursMinutesText;
    std::string DurationText6, DurationText7, DurationText8, DurationText9, DurationText10;
    std::string DurationText11, DurationText12, DurationText13, DurationText14, DurationText15;
    std::string DurationText16;
    std::string TimingInt16Text;
    std::string OnOffText, AlarmFlagText;  // picture page only, "1" or "0"
};

// Flag k is item k of the status check list.
using StatusFlagSet = std::array<bool, 10>;

struct DecodedReadings {
    ReadingTextSet texts;
    StatusFlagSet flags{};
};

void DecodeStatusFlags(std::uint8_t first, std::uint8_t second, DecodedReadings& readings);
DecodedReadings DecodeReadings(const Block& statusBlock, const Block& timingBlock,
                               const LanguageLines& language);

// The 33 candidate report lines in report order, before filtering.
std::vector<std::string> ReportCandidateLines(const ReadingTextSet& texts, const LanguageLines& language);
// A report line holding "-" anywhere is left out of the report.
bool ReportLineFilter(const std::string& line);
// The filtered report.
std::vector<std::string> ReportLines(const ReadingTextSet& texts, const LanguageLines& language);

inline constexpr int ErrorRecordCount = 8;
inline constexpr int ErrorRecordSize = 16;
// The lines of error record n (1..8) that starts at offset in the error history block.
std::vector<std::string> ErrorRecordLines(const Block& errorHistoryBlock, int offset, int n,
                                          const LanguageLines& language);

}  // namespace kalvo
