#pragma once

#include <chrono>
#include <cstdint>

#include "record/PollRecord.h"

namespace kalvo::record {

// Calendar arithmetic on plain numbers, the same on every platform and free of the C library's
// time zone state.

constexpr std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor)
{
    return value / divisor - ((value % divisor != 0) && ((value < 0) != (divisor < 0)) ? 1 : 0);
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
constexpr std::int64_t DaysFromCivil(int year, int month, int day)
{
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = FloorDiv(y, 400);
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct CivilTime {
    int year, month, day, hour, minute, second;
};

constexpr CivilTime ToCivil(std::int64_t secondsSinceEpoch)
{
    const std::int64_t days = FloorDiv(secondsSinceEpoch, 86400);
    const std::int64_t secondOfDay = secondsSinceEpoch - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year,
            month,
            day,
            static_cast<int>(secondOfDay / 3600),
            static_cast<int>(secondOfDay % 3600 / 60),
            static_cast<int>(secondOfDay % 60)};
}

// Seconds since the epoch of the local wall clock reading.
constexpr std::int64_t LocalSeconds(LocalTime time)
{
    return FloorDiv(time.utcMs, 1000) + time.utcOffsetMinutes * 60LL;
}

}  // namespace kalvo::record
