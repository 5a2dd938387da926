#pragma once

#include <cstdint>
#include <string>

#include "core/Language.h"

namespace kalvo {

// Field encodings of the unit: multi-byte fields are big-endian and unsigned; a field whose
// bytes are all 0xFF carries no value, shown as "-". "." is the only decimal separator.

inline const std::string NoValueText = "-";

int DecodeWord(std::uint8_t high, std::uint8_t low);  // -1 for 0xFF 0xFF
std::string FormatWord(std::uint8_t high, std::uint8_t low);
std::string FormatTriple(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
std::string TenthsText(int tenths);  // non-negative tenths: 123 -> "12.3", 120 -> "12"
std::string FormatMicroamps(int tenths);
std::string FormatVolts(int tenths);
std::string FormatWholeVolts(int tenths);
std::string FormatState(std::uint8_t code, const LanguageLines& language);
std::string FormatDuration(int tenthsOfSecond, const LanguageLines& language);
std::string FormatHoursMinutes(int minutes, const LanguageLines& language);
std::string FormatRecordTime(int minutes, const LanguageLines& language);

}  // namespace kalvo
