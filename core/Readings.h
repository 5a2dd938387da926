#pragma once

#include <array>
#include <cstdint>
#include <optional>
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

// One record of the error history as the unit sent it.
struct ErrorRecordValues {
    std::array<std::uint8_t, ErrorRecordSize> bytes{};
    // In the order of ErrorRecordValueFields; nothing for no value.
    std::array<std::optional<std::uint32_t>, ErrorRecordValueFields.size()> values{};

    std::uint8_t StateCode() const { return bytes[ErrorRecordStateAt]; }
    bool Empty() const { return StateCode() == EmptyRecordCode; }
    bool operator==(const ErrorRecordValues&) const = default;
};

// A poll's fields, decoded once from its three blocks: what every consumer of the poll reads (the
// window's texts, the recorder's numbers), so none of them reads the blocks again.
struct PollFields {
    // In the order of ReportFields, as the unit sent them; nothing for no value and for the text.
    std::array<std::optional<std::uint32_t>, ReportFields.size()> values{};
    std::string statusText;  // the unit's text, its padding dropped
    StatusFlagSet flags{};
    std::array<ErrorRecordValues, ErrorRecordCount> errorRecords{};
};

PollFields DecodePollFields(const Block& statusBlock, const Block& timingBlock, const Block& errorHistoryBlock);
// The same without the error records, for a run of polls that mostly repeats its history.
PollFields DecodeReadingFields(const Block& statusBlock, const Block& timingBlock);
std::array<ErrorRecordValues, ErrorRecordCount> DecodeErrorRecords(const Block& errorHistoryBlock);
// The record that starts at offset in the error history block; throws std::out_of_range for an
// offset that leaves no room for a record.
ErrorRecordValues DecodeErrorRecordValues(const Block& errorHistoryBlock, int offset);

StatusFlagSet DecodeStatusFlags(std::uint8_t first, std::uint8_t second);
void DecodeStatusFlags(std::uint8_t first, std::uint8_t second, DecodedReadings& readings);
// The display texts and flags of a poll's fields.
DecodedReadings ReadingsOf(const PollFields& fields, const LanguageLines& language);
DecodedReadings DecodeReadings(const Block& statusBlock, const Block& timingBlock,
                               const LanguageLines& language);

// The 33 candidate report lines in report order, before filtering.
std::vector<std::string> ReportCandidateLines(const ReadingTextSet& texts, const LanguageLines& language);
// A report line holding "-" anywhere is left out of the report.
bool ReportLineFilter(const std::string& line);
// The filtered report.
std::vector<std::string> ReportLines(const ReadingTextSet& texts, const LanguageLines& language);

// The lines of error record n (1..8).
std::vector<std::string> ErrorRecordLines(const ErrorRecordValues& record, int n, const LanguageLines& language);
// The lines of error record n (1..8) that starts at offset in the error history block.
std::vector<std::string> ErrorRecordLines(const Block& errorHistoryBlock, int offset, int n,
                                          const LanguageLines& language);

}  // namespace kalvo
