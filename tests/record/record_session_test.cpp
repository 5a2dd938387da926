// A 26-hour recording against the scripted fake in simulated time: rows, midnight rotation, no
// overwrite on restart, the events, the CSV read back by a CSV parser, and the raw replies file
// decoded again into the very same rows.

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "record/PollDecoding.h"
#include "tests/record/CsvReader.h"
#include "tests/record/SessionFixture.h"
#include "tools/unitsim/Behaviour.h"
#include "tools/unitsim/BurnerModel.h"
#include "tools/unitsim/TransmitLine.h"
#include "tools/unitsim/Wire.h"

namespace kalvo::record {
namespace {

using namespace test_session;
using test::CsvTable;

class RecordSessionTest : public RecordSessionFixture {
protected:
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

};

// The last pause ends with the duration: a 20-second recording is 20 seconds long, not a poll
// interval more.
TEST_F(RecordSessionTest, ADurationEndsTheRecordingOnTime)
{
    EXPECT_GE(Record(20s), 9);
    EXPECT_EQ(static_cast<long long>(serial_.NowMs()), 20'000);
}

TEST_F(RecordSessionTest, TwentySixHoursGiveRowsEventsAndRawRepliesThatAgree)
{
    const long long polls = Record(26h);
    const CsvTable readings = Rows("readings", ReadingsCsvSink::Header(language_));
    const CsvTable events = Rows("events", EventsCsvSink::Header(language_));

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
    EXPECT_EQ(std::vector<std::string>(running->end() - 11, running->end()),
        (std::vector<std::string>{"0", "1", "1", "1", "0", "0", "1", "1", "0", "0", "0"}));  // flags, implausible

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
    const NightTexts& texts = language_.texts;
    ReadRecording(dir_.path(), [&](const PollInput& poll) {
        decoded.push_back(ReadingsCsvSink::Row(DecodePoll(poll, language_.lines), texts));
    });
    EXPECT_EQ(decoded, readings);
}

// unitsim's burner model in its random mode behind the fake line. Its bytes go out one by one at
// 9600 baud, each reply after whatever is still on the line, as unitsim sends them: a reply that
// runs long (a flood, stray bytes) spills into the reads of the next requests.
class RandomUnit {
public:
    RandomUnit(FakeSerialSystem& line, std::uint32_t seed) : line_(line), model_(seed), rng_(seed)
    {
        line.AnswerWith([this](const Bytes& written) { return Answer(written); });
    }

    // What the unit held when it was last asked for a block, by request code.
    const Bytes& Truth(std::uint8_t code) const { return truth_.at(code); }
    // Every record the unit's history ever held.
    const std::set<Bytes>& Records() const { return records_; }

private:
    using Us = std::chrono::microseconds;

    ReplyScript Answer(const Bytes& written)
    {
        const auto nowMs = static_cast<std::int64_t>(line_.NowMs());
        model_.Advance(std::chrono::milliseconds(nowMs - modelMs_));
        modelMs_ = nowMs;
        const std::uint8_t code = written.at(5);
        const Bytes data = model_.DataFor(code);
        truth_[code] = data;
        if (code == ErrorHistoryRequest)
            for (std::size_t at = 0; at < data.size(); at += ErrorRecordSize)
                if (data[at] != EmptyRecordCode)
                    records_.insert(Bytes(data.begin() + static_cast<std::ptrdiff_t>(at),
                        data.begin() + static_cast<std::ptrdiff_t>(at + ErrorRecordSize)));
        unitsim::Behaviour behaviour = behaviours_.ForNextRequest(rng_);
        if (behaviour == unitsim::Behaviour::HangUp)  // a pulled adapter is no data; the soak covers it
            behaviour = unitsim::Behaviour::Silent;
        const unitsim::ReplyPlan plan =
            unitsim::PlanReply(behaviour, unitsim::BuildReply(code, data), Us(20'000), rng_);
        const Us now = Us(nowMs * 1000);
        const auto character = std::chrono::duration_cast<Us>(unitsim::TransmitLine::CharacterTime9600_8N2);
        ReplyScript script;
        for (const unitsim::Chunk& chunk : plan.chunks) {
            Us sent = std::max(now + chunk.at, lineFreeAt_);
            for (const std::uint8_t byte : chunk.bytes) {
                sent += character;
                const auto delayMs =
                    static_cast<std::uint32_t>(std::chrono::ceil<std::chrono::milliseconds>(sent - now).count());
                if (script.empty() || script.back().delayMs != delayMs)
                    script.push_back({delayMs, {}});
                script.back().bytes.push_back(byte);
            }
            lineFreeAt_ = sent;
        }
        return script;
    }

    FakeSerialSystem& line_;
    unitsim::BurnerModel model_;
    std::mt19937 rng_;
    unitsim::RandomBehaviour behaviours_;
    std::int64_t modelMs_ = 0;
    Us lineFreeAt_{0};
    std::map<std::uint8_t, Bytes> truth_;
    std::set<Bytes> records_;
};

// Checks every poll of a recording of the random unit against what the unit held.
class TruthCheck : public PollSink {
public:
    explicit TruthCheck(const RandomUnit& unit) : unit_(unit) { }

    void OnPoll(const PollInput& raw, const DecodedPoll& poll) override
    {
        if (raw.link != LinkStatus::Ok)
            return;
        ++okPolls;
        const bool noise = !Holds(raw.statusBlock, StatusRequest) || !Holds(raw.timingBlock, TimingRequest)
            || !Holds(raw.errorHistoryBlock, ErrorHistoryRequest);
        noisePolls += noise ? 1 : 0;
        if (poll.implausible)
            return;
        gotThrough += noise ? 1 : 0;
        const double lockouts = poll.values[ValueIndex("lockouts")].value_or(0);
        firstLockouts = firstLockouts.value_or(lockouts);
        lastLockouts = lockouts;
    }

    void OnEvent(const RecordEvent& event) override
    {
        if (event.kind == EventKind::CountersWentBack || event.kind == EventKind::CountersLeapt)
            ++unitChanges;
        if (event.kind != EventKind::NewErrorRecord)
            return;
        ++newRecords;
        const Bytes record(event.record->bytes.begin(), event.record->bytes.end());
        inventedRecords += unit_.Records().contains(record) ? 0 : 1;
        repeatedRecords += reported_.insert(record).second ? 0 : 1;
    }

    int okPolls = 0, noisePolls = 0, gotThrough = 0;
    int newRecords = 0, inventedRecords = 0, repeatedRecords = 0, unitChanges = 0;
    std::optional<double> firstLockouts;
    double lastLockouts = 0;

private:
    bool Holds(const Block& block, std::uint8_t code) const
    {
        const Bytes& truth = unit_.Truth(code);
        return std::equal(truth.begin(), truth.end(), block.begin());
    }

    const RandomUnit& unit_;
    std::set<Bytes> reported_;
};

// A recording of the unit in its random mode, seed after seed, through the real read cycle in
// simulated time: no poll that the unit did not send passes for its own, and the new error records
// are exactly its lockouts, each once.
TEST(RecordRandomUnitTest, NoPollButTheUnitsPassesAndEveryLockoutIsItsOwn)
{
    const LanguageLines language = test::NumberedLanguage();
    int polls = 0, okPolls = 0, noisePolls = 0, gotThrough = 0, lockouts = 0;
    for (std::uint32_t seed = 1; seed <= 24; ++seed) {
        FakeSerialSystem line;
        const test::ProgramStateGuard state(&line);
        RandomUnit unit(line, seed);
        Recorder recorder(language);
        auto check = std::make_unique<TruthCheck>(unit);
        const TruthCheck& seen = *check;
        recorder.AddSink(std::move(check));
        RecordSession session(recorder,
            {[&] {
                 return LocalTime{static_cast<std::int64_t>(line.NowMs()), 0};
             },
                [&](auto span) { line.Pause(span); }, [] { return false; }});
        session.Run(1, std::chrono::minutes(40));
        EXPECT_EQ(seen.gotThrough, 0) << "seed " << seed;
        EXPECT_EQ(seen.inventedRecords, 0) << "seed " << seed;
        EXPECT_EQ(seen.repeatedRecords, 0) << "seed " << seed;
        EXPECT_EQ(seen.unitChanges, 0) << "seed " << seed;
        EXPECT_EQ(seen.newRecords, seen.lastLockouts - seen.firstLockouts.value_or(0)) << "seed " << seed;
        polls += static_cast<int>(recorder.Polls());
        okPolls += seen.okPolls;
        noisePolls += seen.noisePolls;
        gotThrough += seen.gotThrough;
        lockouts += seen.newRecords;
    }
    std::cout << polls << " polls, " << okPolls << " of them ok, " << noisePolls << " ok polls of noise, " << gotThrough
              << " passed for the unit's; " << lockouts << " lockouts\n";
    EXPECT_GT(noisePolls, 100);
    EXPECT_GT(lockouts, 20);
}

}  // namespace
}  // namespace kalvo::record
