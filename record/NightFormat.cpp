#include "record/NightFormat.h"

#include <cstdio>
#include <cstdlib>

#include "record/CivilTime.h"
#include "record/CsvFiles.h"

namespace kalvo::record {

std::string EscapeHtml(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Fixed(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string OffsetText(int utcOffsetMinutes)
{
    char text[16];
    const int offset = std::abs(utcOffsetMinutes);
    std::snprintf(text, sizeof text, "%c%02d:%02d", utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

std::string DateTimeText(std::int64_t utcMs, int utcOffsetMinutes, bool withOffset)
{
    const CivilTime t = ToCivil(LocalSeconds({utcMs, utcOffsetMinutes}));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    return withOffset ? text + (" " + OffsetText(utcOffsetMinutes)) : text;
}

std::string DurationText(std::int64_t ms)
{
    const auto seconds = static_cast<long long>(ms / 1000), minutes = seconds / 60, hours = minutes / 60;
    char text[40];
    if (minutes == 0)
        std::snprintf(text, sizeof text, "%lld s", seconds);
    else if (hours == 0)
        std::snprintf(text, sizeof text, "%lld min", minutes);
    else if (hours < 48)
        std::snprintf(text, sizeof text, "%lld h %02lld min", hours, minutes % 60);
    else
        std::snprintf(text, sizeof text, "%lld d %02lld h", hours / 24, hours % 24);
    return text;
}

std::string StateLabel(int code, const std::map<int, std::string>& stateTexts, const NightTexts& texts)
{
    const auto found = stateTexts.find(code);
    const std::string text = found != stateTexts.end() ? found->second : std::string();
    return text.empty() ? texts[NightWord::State] + " " + std::to_string(code) : text;
}

std::string RecordStateText(const ErrorRecordFields& record, const NightTexts& texts)
{
    return record.stateText.empty() ? texts[NightWord::State] + " " + std::to_string(record.stateCode)
                                    : record.stateText;
}

std::string MarkerText(const RecordEvent& marker, const NightTexts& texts)
{
    if (marker.kind == EventKind::LinkLost)
        return texts[NightWord::LinkLost] + ": " + texts[LinkWord(marker.link)];
    if (marker.kind != EventKind::NewErrorRecord || !marker.record)
        return texts[EventWord(marker.kind)];
    const ErrorRecordFields& record = *marker.record;
    std::string text = texts[NightWord::Lockout] + ": " + RecordStateText(record, texts);
    if (record.volts)
        text += ", " + texts[NightWord::RecordVolts] + ": " + NumberText(record.volts, Unit::Volts) + " V";
    if (record.microamps)
        text += ", " + texts[NightWord::RecordFlame] + ": " + NumberText(record.microamps, Unit::Microamps) + " "
            + std::string(MicroampsText);
    if (record.counter)
        text += ", " + texts[NightWord::CounterReading] + ": " + NumberText(record.counter, Unit::Count);
    return text;
}

}  // namespace kalvo::record
