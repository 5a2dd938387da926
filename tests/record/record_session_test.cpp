// A 26-hour recording against the scripted fake in simulated time: rows, midnight rotation, no
// overwrite on restart, the events, the CSV read back by a CSV parser, and the raw replies file
// decoded again into the very same rows.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "record/PollDecoding.h"
#include "tests/record/CsvReader.h"
#include "tests/record/SessionFixture.h"

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
    const NightTexts texts(language_);
    ReadRecording(dir_.path(),
        [&](const PollInput& poll) { decoded.push_back(ReadingsCsvSink::Row(DecodePoll(poll, language_), texts)); });
    EXPECT_EQ(decoded, readings);
}

}  // namespace
}  // namespace kalvo::record
