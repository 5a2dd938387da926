#pragma once

// A recording session against the scripted fake in simulated time: a made-up burner that runs 20
// minutes of every 30, locks out once and loses its adapter once, recorded into a temporary folder.

#include <gtest/gtest.h>

#include <optional>

#include "core/uGlobal.h"
#include "record/CsvFiles.h"
#include "record/RawReplies.h"
#include "record/RecordSession.h"
#include "testing/FakeSerial.h"
#include "testing/LanguageFixtures.h"
#include "testing/ProgramState.h"
#include "testing/TempDir.h"
#include "tests/record/UnitData.h"

namespace kalvo::record::test_session {

using namespace std::chrono_literals;

constexpr int Port = 7;
constexpr int OffsetMinutes = 60;
constexpr std::int64_t StartUtcMs = 1'796'594'400'000;  // 2026-12-06T23:00:00+01:00
constexpr std::int64_t MinuteMs = 60'000;
constexpr std::int64_t LockoutFromMinute = 300, LockoutToMinute = 320;
constexpr std::int64_t GoneFromMinute = 600, GoneToMinute = 601;
constexpr std::uint8_t RunState = 5, StandbyState = 0, LockoutState = 7;
constexpr std::uint8_t RunFlags = 0x40 | 0x10 | 0x20 | 0x02 | 0x01;
constexpr std::uint8_t AlarmFlag = 0x80;
inline const std::vector<std::uint8_t> LockoutRecord = test::ErrorRecordBytes(LockoutState, 1234, 2215, 123, 4321);

// The made-up burner: runs 20 minutes of every 30, locks out once, its adapter is pulled once.
inline test::UnitState UnitAt(std::int64_t minute)
{
    test::UnitState unit;
    if (minute >= LockoutFromMinute)
        unit.records = {LockoutRecord};
    if (minute >= LockoutFromMinute && minute < LockoutToMinute) {
        unit.state = LockoutState;
        unit.flags = AlarmFlag;
    } else if (minute % 30 < 20) {
        unit.state = RunState;
        unit.flags = RunFlags;
        unit.flameTenths = 300 + static_cast<int>(minute % 7);
    } else {
        unit.state = StandbyState;
    }
    return unit;
}

class RecordSessionFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        state_.emplace(&serial_);
        test::AnswerAs(serial_, UnitAt(0));
    }
    void TearDown() override { state_.reset(); }

    LocalTime Now() const { return {StartUtcMs + static_cast<std::int64_t>(serial_.NowMs()), OffsetMinutes}; }

    // Lets simulated time pass and plays the unit's script for the new moment.
    void Pause(std::chrono::milliseconds span)
    {
        serial_.Pause(span);
        const auto minute = static_cast<std::int64_t>(serial_.NowMs()) / MinuteMs;
        if (minute >= GoneFromMinute && minute < GoneToMinute && !serial_.Port(Port).gone)
            serial_.MarkGone(Port);
        if (minute >= GoneToMinute && serial_.Port(Port).gone && !serial_.Port(Port).open)
            serial_.Reconnect(Port);
        test::AnswerAs(serial_, UnitAt(minute));
    }

    long long Record(std::chrono::milliseconds duration)
    {
        Recorder recorder(language_.lines);
        recorder.AddSink(std::make_unique<ReadingsCsvSink>(dir_.path(), language_, Durability::None));
        recorder.AddSink(std::make_unique<EventsCsvSink>(dir_.path(), language_, Durability::None));
        recorder.AddSink(std::make_unique<RawRepliesSink>(dir_.path(), Durability::None));
        RecordSession session(recorder, {[this] { return Now(); }, [this](auto span) { Pause(span); },
                                         [] { return false; }});
        session.Run(Port, duration);
        return recorder.Polls();
    }

    FakeSerialSystem serial_;
    std::optional<test::ProgramStateGuard> state_;
    static LanguageLines SessionLanguage()
    {
        LanguageLines language = test::NumberedLanguage();
        language[12 + RunState] = "Betrieb \xE9";  // Windows-1252 e acute
        return language;
    }

    RecordLanguage language_{SessionLanguage()};
    test::TempDir dir_;
};

}  // namespace kalvo::record::test_session
