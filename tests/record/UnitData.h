#pragma once

// Reply data of a made-up unit for the recorder's tests: a state, the flags, flame current and
// mains voltage, and an error history.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/Protocol.h"
#include "testing/FakeSerial.h"

namespace kalvo::test {

inline constexpr std::size_t StatusData = 51, TimingData = 38, HistoryData = 128;

struct UnitState {
    std::uint8_t state = 0;
    std::uint8_t flags = 0;        // status byte 37
    int flameTenths = 0;
    int voltTenths = 2300;
    std::vector<std::vector<std::uint8_t>> records;  // newest first, 16 bytes each
    std::optional<int> lockouts = std::nullopt;      // the lockout counter; one per record when not given
};

inline std::vector<std::uint8_t> ErrorRecordBytes(std::uint8_t state, int counter, int voltTenths, int currentTenths,
                                                  int minutes)
{
    return {state,
            static_cast<std::uint8_t>(counter >> 16),
            static_cast<std::uint8_t>(counter >> 8),
            static_cast<std::uint8_t>(counter),
            static_cast<std::uint8_t>(voltTenths >> 8),
            static_cast<std::uint8_t>(voltTenths),
            static_cast<std::uint8_t>(currentTenths >> 8),
            static_cast<std::uint8_t>(currentTenths),
            static_cast<std::uint8_t>(minutes >> 8),
            static_cast<std::uint8_t>(minutes),
            0, 0, 0, 0, 0, 0};
}

inline Bytes StatusDataOf(const UnitState& unit)
{
    Bytes data(StatusData, 0);
    const char text[] = "RUNNING";
    for (std::size_t i = 0; i < 16; ++i)
        data[2 + i] = i < sizeof text - 1 ? static_cast<std::uint8_t>(text[i]) : 0x80;
    data[29] = static_cast<std::uint8_t>(unit.flameTenths >> 8);
    data[30] = static_cast<std::uint8_t>(unit.flameTenths);
    data[35] = static_cast<std::uint8_t>(unit.voltTenths >> 8);
    data[36] = static_cast<std::uint8_t>(unit.voltTenths);
    const int lockouts = unit.lockouts.value_or(static_cast<int>(unit.records.size()));
    data[24] = static_cast<std::uint8_t>(lockouts >> 16);
    data[25] = static_cast<std::uint8_t>(lockouts >> 8);
    data[26] = static_cast<std::uint8_t>(lockouts);
    data[37] = unit.flags;
    data[40] = unit.state;
    return data;
}

inline Bytes TimingDataOf(const UnitState&)
{
    Bytes data(TimingData, 0);
    data[1] = 120;  // first duration: 12.0 s
    return data;
}

inline Bytes HistoryDataOf(const UnitState& unit)
{
    Bytes data(HistoryData, 0xFF);
    for (std::size_t n = 0; n < unit.records.size() && n < 8; ++n)
        std::copy(unit.records[n].begin(), unit.records[n].end(), data.begin() + static_cast<std::ptrdiff_t>(16 * n));
    return data;
}

// From now on the fake answers every request as this unit, each reply 50 ms after its request.
inline void AnswerAs(FakeSerialSystem& serial, const UnitState& unit)
{
    serial.AnswerRequest(StatusRequest, {{50, MakeReply(StatusRequest, StatusDataOf(unit))}});
    serial.AnswerRequest(TimingRequest, {{50, MakeReply(TimingRequest, TimingDataOf(unit))}});
    serial.AnswerRequest(ErrorHistoryRequest, {{50, MakeReply(ErrorHistoryRequest, HistoryDataOf(unit))}});
}

}  // namespace kalvo::test
