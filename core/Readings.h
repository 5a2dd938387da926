#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Language.h"

namespace kalvo {

// One raw reply block: the data bytes of a reply from position 0 on, the rest zero.
using Block = std::array<std::uint8_t, 256>;

// The display texts decoded from the status and timing blocks after every poll. The unit gives
// most fields no meaning beyond their place, so they keep the names of their place; each comment
// says where a field comes from, how it is shown, and the language line that labels it.
struct ReadingTextSet {
    std::string StatusStringText;  // status bytes 2..17, the unit's own characters; line 36
    std::string Int24Text1;        // status bytes 18..20, a 24-bit count; line 37
    std::string Int24Text2;        // status bytes 21..23, a 24-bit count; line 38
    std::string Int24Text3;        // status bytes 24..26, a 24-bit count; line 39
    std::string CurrentText1;      // status bytes 27..28, microamperes; line 40
    std::string FlameCurrentText;  // status bytes 29..30, microamperes; line 41, picture page
    std::string CurrentText3;      // status bytes 31..32, microamperes; line 42
    std::string AlarmCurrentText;  // status bytes 33..34, microamperes; line 43, picture page
    std::string MainsVoltageText;  // status bytes 35..36, whole volts; line 44, picture page
    std::string StateText;         // status byte 40, the state's name; line 45
    std::string Int16Text1;        // status bytes 41..42, a plain number; line 46
    std::string Int16Text2;        // status bytes 43..44, a plain number; line 47
    std::string Int16Text3;        // status bytes 45..46, a plain number; line 48
    std::string Int16Text4;        // status bytes 47..48, a plain number; line 49
    std::string Int16Text5;        // status bytes 49..50, a plain number; line 50
    // Durations, from tenths of a second in the timing block: DurationText1..5 from bytes 0..9,
    // DurationText6..15 from bytes 12..31, DurationText16 from bytes 34..35, two bytes each;
    // labelled by lines 51..55, 57..66 and 67.
    std::string DurationText1, DurationText2, DurationText3, DurationText4, DurationText5;
    std::string HoursMinutesText;  // timing bytes 10..11, minutes shown as hours and minutes; line 56
    std::string DurationText6, DurationText7, DurationText8, DurationText9, DurationText10;
    std::string DurationText11, DurationText12, DurationText13, DurationText14, DurationText15;
    std::string DurationText16;
    std::string TimingInt16Text;   // timing bytes 36..37, a plain number; line 68
    std::string OnOffText;         // the on/off flag, "1" or "0"; picture page only
    std::string AlarmFlagText;     // the alarm flag, "1" or "0"; picture page only
};

// The ten status flags from status bytes 37 and 38, in the order of the status check list: flag k
// is item k. The unit names flags 8 and 9 only through the language file's captions.
enum StatusFlag : std::size_t {
    AlarmFlag,
    FlameFlag,
    FuelValve1Flag,
    FuelValve2Flag,
    IgnitionTransformerFlag,
    HeaterFlag,
    FanMotorFlag,
    OnOffFlag,
    StatusFlag8,
    StatusFlag9,
    StatusFlagCount
};

using StatusFlagSet = std::array<bool, StatusFlagCount>;

// Where each flag lies: byte 37 (first) or byte 38 (second) of the status block, and its bit.
struct StatusFlagBit {
    StatusFlag flag;
    bool inSecondByte;
    std::uint8_t mask;
};
inline constexpr std::array<StatusFlagBit, StatusFlagCount> StatusFlagBits{{
    {AlarmFlag, false, 0x80},
    {FlameFlag, false, 0x40},
    {FuelValve1Flag, false, 0x10},  // the two valves are not in bit order
    {FuelValve2Flag, false, 0x20},
    {IgnitionTransformerFlag, false, 0x08},
    {HeaterFlag, false, 0x04},
    {FanMotorFlag, false, 0x02},
    {OnOffFlag, false, 0x01},
    {StatusFlag8, true, 0x80},
    {StatusFlag9, true, 0x40},
}};

constexpr std::uint8_t StatusFlagMask(StatusFlag flag)
{
    return StatusFlagBits[flag].mask;
}

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
