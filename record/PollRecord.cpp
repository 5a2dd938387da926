#include "record/PollRecord.h"

#include <cstdio>
#include <ctime>

#include "record/CivilTime.h"

namespace kalvo::record {

std::string_view LinkStatusText(LinkStatus status)
{
    switch (status) {
    case LinkStatus::Ok:
        return "ok";
    case LinkStatus::TransferError:
        return "transfer error";
    case LinkStatus::NoPort:
        break;
    }
    return "no port";
}

std::string_view UnitSymbol(Unit unit)
{
    switch (unit) {
    case Unit::Microamps:
        return "uA";
    case Unit::Volts:
        return "V";
    case Unit::Seconds:
        return "s";
    case Unit::Minutes:
        return "min";
    case Unit::Text:
    case Unit::Count:
    case Unit::Number:
        break;
    }
    return "";
}

std::string_view EventKindText(EventKind kind)
{
    switch (kind) {
    case EventKind::StateChange:
        return "state change";
    case EventKind::LinkLost:
        return "link lost";
    case EventKind::LinkBack:
        return "link back";
    case EventKind::CountersWentBack:
        return "the unit's counters went back: another unit?";
    case EventKind::CountersLeapt:
        return "the unit's counters leapt: another unit?";
    case EventKind::NewErrorRecord:
        break;
    }
    return "new error record";
}

std::string IsoText(LocalTime time)
{
    const CivilTime local = ToCivil(LocalSeconds(time));
    const int offset = time.utcOffsetMinutes < 0 ? -time.utcOffsetMinutes : time.utcOffsetMinutes;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.year, local.month,
                  local.day, local.hour, local.minute, local.second, time.utcOffsetMinutes < 0 ? '-' : '+',
                  offset / 60, offset % 60);
    return text;
}

std::string DateText(LocalTime time)
{
    return IsoText(time).substr(0, 10);
}

LocalTime LocalNow()
{
    const auto now = std::chrono::system_clock::now();
    const std::int64_t utcMs = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(FloorDiv(utcMs, 1000));
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    const std::int64_t localSeconds = DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) * 86400 +
                                      local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return {utcMs, static_cast<int>((localSeconds - static_cast<std::int64_t>(seconds)) / 60)};
}

}  // namespace kalvo::record
