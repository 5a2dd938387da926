#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/Language.h"
#include "record/PollRecord.h"

namespace kalvo::record {

// Windows-1252 (the language file's and the unit's code page) to UTF-8; the five bytes the code
// page leaves undefined become the control characters of the same number, as in the window.
std::string Utf8FromWindows1252(std::string_view text);

// Decodes the blocks of one poll into numbers, with the state texts of the language.
DecodedPoll DecodePoll(const PollInput& input, const LanguageLines& language);

// Decodes a run of polls as DecodePoll does, each the same; what a poll has unchanged from the one
// before (the error history, the status text, a state's name) is taken over instead of decoded
// again, which makes decoding a month's recording several times faster.
class PollDecoder {
public:
    // The language gives the state texts; it must outlive the decoder.
    explicit PollDecoder(const LanguageLines& language);
    DecodedPoll Decode(const PollInput& input);
    // The same poll with its fields decoded already (by the read cycle): the blocks are not read.
    DecodedPoll Decode(const PollInput& input, const PollFields& fields);

private:
    const std::string& StateText(std::uint8_t code);
    ErrorRecordFields RecordFields(const ErrorRecordValues& values, int number);

    const LanguageLines& language_;
    std::array<std::optional<std::string>, 256> stateTexts_;  // by code, once looked up
    std::optional<Block> historyBlock_;  // the last error history block decoded, and its records
    std::array<ErrorRecordValues, ErrorRecordCount> historyValues_{};
    std::optional<std::array<ErrorRecordValues, ErrorRecordCount>> history_;  // the last history taken, and its records
    std::array<std::optional<ErrorRecordFields>, ErrorRecordCount> records_{};
    std::optional<std::string> unitText_;  // the last status text as the unit sent it, and as UTF-8
    std::string statusText_;
};

// A column title: the label of a language line without its trailing colon and blanks, or the key
// when the line is empty, then the unit in brackets when it has one: "Flame current (uA)".
std::string ColumnTitle(const std::string& label, std::string_view key, Unit unit);

}  // namespace kalvo::record
