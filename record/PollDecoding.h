#pragma once

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

// The decoded fields of the error record that starts at offset in the error history block;
// nothing for an empty record (state code 0xFF).
std::optional<ErrorRecordFields> DecodeErrorRecord(const Block& errorHistoryBlock, int number,
                                                   const LanguageLines& language);

// A column title: the label of a language line without its trailing colon and blanks, or the key
// when the line is empty, then the unit in brackets when it has one: "Flame current (uA)".
std::string ColumnTitle(const std::string& label, std::string_view key, Unit unit);

}  // namespace kalvo::record
