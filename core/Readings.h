#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/FieldTable.h"
#include "core/Language.h"

namespace kalvo {

using StatusFlagSet = std::array<bool, StatusFlagCount>;

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

// The lines of error record n (1..8) that starts at offset in the error history block.
std::vector<std::string> ErrorRecordLines(const Block& errorHistoryBlock, int offset, int n,
                                          const LanguageLines& language);

}  // namespace kalvo
