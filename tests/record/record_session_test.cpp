// A 26-hour recording against the scripted fake in simulated time: rows, midnight rotation, no
// overwrite on restart, the events, the CSV read back by a CSV parser, and the raw replies file
// decoded again into the very same rows.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "CsvFiles.h"
#include "CsvReader.h"
#include "FakeSerial.h"
#include "LanguageFixtures.h"
#include "PollDecoding.h"
#include "RawReplies.h"
#include "RecordSession.h"
#include "TempDir.h"
#include "UnitData.h"
#include "uGlobal.h"

namespace kalvo::record {
namespace {

using namespace std::chrono_literals;
using test::CsvTable;

constexpr int Port = 7;
constexpr int OffsetMinutes = 60;
constexpr std::int64_t StartUtcMs = 1'796'594'400'000;  // 2026-12-06T23:00:00+01:00
constexpr std::int64_t MinuteMs = 60'000;
constexpr std::int64_t LockoutFromMinute = 300, LockoutToMinute = 320;
constexpr std::int64_t GoneFromMinute = 600, GoneToMinute = 601;
constexpr std::uint8_t RunState = 5, StandbyState = 0, LockoutState = 7;
constexpr std::uint8_t RunFlags = 0x40 | 0x10 | 0x20 | 0x02 | 0x01;
constexpr std::uint8_t AlarmFlag = 0x80;
const std::vector<std::uint8_t> LockoutRecord = test::ErrorRecordBytes(LockoutState, 1234, 2215, 123, 4321);

// The made-up burner: runs 20 minutes of every 30, locks out once, its adapter is pulled once.
test::UnitState UnitAt(std::int64_t minute)
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

class RecordSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uGlobal::Serial = &serial_;
        language_ = test::NumberedLanguage();
        language_[12 + RunState] = "Betrieb \xE9";  // Windows-1252 e acute
        test::AnswerAs(serial_, UnitAt(0));
    }
    void TearDown() override { uGlobal::Serial = nullptr; }

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
        Recorder recorder(language_);
        recorder.AddSink(std::make_unique<ReadingsCsvSink>(dir_.path(), language_, false));
        recorder.AddSink(std::make_unique<EventsCsvSink>(dir_.path(), false));
        recorder.AddSink(std::make_unique<RawRepliesSink>(dir_.path(), false));
        RecordSession session(recorder, {[this] { return Now(); }, [this](auto span) { Pause(span); },
                                         [] { return false; }});
        session.Run(Port, duration);
        return recorder.Polls();
    }

    CsvTable Table(const std::string& name) const { return test::ParseCsv(test::ReadFileBytes(dir_.file(name))); }

    // The rows of the day files in order, each file's header checked and left out.
    CsvTable Rows(const std::string& prefix, const std::vector<std::string>& header) const
    {
        CsvTable rows;
        for (const char* date : {"2026-12-06", "2026-12-07", "2026-12-08"}) {
            const CsvTable table = Table(prefix + "-" + date + ".csv");
            EXPECT_EQ(table.at(0), header) << prefix << " " << date;
            for (std::size_t i = 1; i < table.size(); ++i) {
                EXPECT_EQ(table[i].size(), header.size()) << prefix << " " << date << " row " << i;
                EXPECT_EQ(table[i].at(0).substr(0, 10), date) << "row " << i << " in the file of another day";
                rows.push_back(table[i]);
            }
        }
        return rows;
    }

    FakeSerialSystem serial_;
    LanguageLines language_;
    test::TempDir dir_;
};

TEST_F(RecordSessionTest, TwentySixHoursGiveRowsEventsAndRawRepliesThatAgree)
{
    const long long polls = Record(26h);
    const CsvTable readings = Rows("readings", ReadingsCsvSink::Header(language_));
    const CsvTable events = Rows("events", EventsCsvSink::Header());

    ASSERT_EQ(static_cast<long long>(readings.size()), polls);
    EXPECT_GT(polls, 26 * 3600 / 3);
    EXPECT_EQ(readings.front()[0], "2026-12-06T23:00:00+01:00");
    EXPECT_EQ(readings.back()[0].substr(0, 13), "2026-12-08T00");
    EXPECT_TRUE(std::is_sorted(readings.begin(), readings.end(),
                               [](const auto& a, const auto& b) { return a[0] < b[0]; }));
    // A running poll: state text converted to UTF-8, values with their tenth, flags as 0/1.
    const auto running = std::find_if(readings.begin(), readings.end(), [](const auto& row) { return row[2] == "5"; });
    ASSERT_NE(running, readings.end());
    EXPECT_EQ((*running)[3], "Betrieb \xC3\xA9");
    EXPECT_EQ((*running)[4], "RUNNING");
    EXPECT_EQ((*running)[5 + 4].substr(0, 3), "30.");  // flame current, uA
    EXPECT_EQ((*running)[5 + 7], "230.0");             // mains voltage, V
    EXPECT_EQ((*running)[5 + 13], "12.0");             // first duration, s
    EXPECT_EQ((*running)[5 + 14], "");                 // a zero duration has no value
    EXPECT_EQ(std::vector<std::string>(running->end() - 10, running->end()),
              (std::vector<std::string>{"0", "1", "1", "1", "0", "0", "1", "1", "0", "0"}));

    // Every state change in the readings is an event, and nothing else is.
    std::vector<std::vector<std::string>> expectedChanges;
    const std::vector<std::string>* lastOk = nullptr;
    for (const auto& row : readings) {
        if (row[1] != "ok")
            continue;
        if (lastOk && (*lastOk)[2] != row[2])
            expectedChanges.push_back({row[0], (*lastOk)[2], row[2]});
        lastOk = &row;
    }
    std::vector<std::vector<std::string>> changes;
    std::map<std::string, std::vector<std::vector<std::string>>> others;
    for (const auto& event : events) {
        if (event[1] == "state change")
            changes.push_back({event[0], event[3], event[5]});
        else
            others[event[1]].push_back(event);
    }
    EXPECT_EQ(changes, expectedChanges);
    EXPECT_GT(changes.size(), 100u);
    ASSERT_EQ(others["new error record"].size(), 1u);
    EXPECT_EQ(std::vector<std::string>(others["new error record"][0].begin() + 7, others["new error record"][0].end()),
              (std::vector<std::string>{"1", "7", "L19", "1234", "221.5", "12.3", "4321"}));
    EXPECT_EQ(others["new error record"][0][0].substr(0, 16), "2026-12-07T04:00");
    ASSERT_EQ(others["link lost"].size(), 1u);
    EXPECT_EQ(others["link lost"][0][2], "no port");
    EXPECT_EQ(others["link lost"][0][0].substr(0, 16), "2026-12-07T09:00");
    ASSERT_EQ(others["link back"].size(), 1u);
    EXPECT_EQ(others["link back"][0][0].substr(0, 16), "2026-12-07T09:01");
    EXPECT_EQ(others.size(), 3u);

    // The raw replies decode again into exactly the rows of the CSV files.
    CsvTable decoded;
    ReadRecording(dir_.path(), [&](const PollInput& poll) {
        decoded.push_back(ReadingsCsvSink::Row(DecodePoll(poll, language_)));
    });
    EXPECT_EQ(decoded, readings);
}

TEST_F(RecordSessionTest, ARestartAppendsToTheDaysFilesAndOverwritesNothing)
{
    const long long first = Record(30min);
    const std::string before = test::ReadFileBytes(dir_.file("readings-2026-12-06.csv"));
    const std::string rawBefore = test::ReadFileBytes(dir_.file("replies-2026-12-06.kraw"));
    const long long second = Record(10min);

    const std::string after = test::ReadFileBytes(dir_.file("readings-2026-12-06.csv"));
    EXPECT_EQ(after.substr(0, before.size()), before);
    const CsvTable table = test::ParseCsv(after);
    EXPECT_EQ(static_cast<long long>(table.size()), 1 + first + second);  // one header
    EXPECT_EQ(test::ReadFileBytes(dir_.file("replies-2026-12-06.kraw")).substr(0, rawBefore.size()), rawBefore);
    long long rawPolls = 0;
    ReadRecording(dir_.path(), [&](const PollInput&) { ++rawPolls; });
    EXPECT_EQ(rawPolls, first + second);
}

TEST_F(RecordSessionTest, AFileOfTheDayThatCannotBeContinuedGetsANumberedNeighbour)
{
    const std::string foreign = "someone else's,file\r\n";
    const std::string cutShort = std::string(RawFileHeader) + "\xA5" + "F";
    test::WriteFileBytes(dir_.file("readings-2026-12-06.csv"), foreign);
    test::WriteFileBytes(dir_.file("replies-2026-12-06.kraw"), cutShort);
    const long long polls = Record(1min);

    EXPECT_EQ(test::ReadFileBytes(dir_.file("readings-2026-12-06.csv")), foreign);
    EXPECT_EQ(test::ReadFileBytes(dir_.file("replies-2026-12-06.kraw")), cutShort);
    EXPECT_EQ(static_cast<long long>(Table("readings-2026-12-06-2.csv").size()), 1 + polls);
    long long rawPolls = 0;
    ReadRawFile(dir_.file("replies-2026-12-06-2.kraw"), [&](const PollInput&) { ++rawPolls; });
    EXPECT_EQ(rawPolls, polls);
}

}  // namespace
}  // namespace kalvo::record
