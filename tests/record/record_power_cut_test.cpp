// A power cut: the day files cut at any byte read back to their last whole row and record, and a
// recorder started again continues after them; rows reach the disk within a minute, events at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "record/CsvFiles.h"
#include "record/FolderRecorder.h"
#include "record/RawReplies.h"
#include "testing/LanguageFixtures.h"
#include "testing/TempDir.h"
#include "tests/record/CsvReader.h"
#include "tools/nightsim/NightSimulation.h"

namespace kalvo::record {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t StartMs = 1'796'583'600'000;  // 2026-12-06T20:00:00+01:00
const std::vector<std::string> DayFileNames{
    "readings-2026-12-06.csv", "events-2026-12-06.csv", "replies-2026-12-06.kraw"};

std::vector<PollInput> NightPolls(std::chrono::milliseconds length)
{
    nightsim::NightPlan plan;
    plan.start = {StartMs, 60};
    plan.length = length;
    plan.lockouts = {4min, 9min};
    plan.linkLosses = {6min};
    std::vector<PollInput> polls;
    nightsim::SimulateNight(plan, [&polls](const PollInput& poll) { polls.push_back(poll); });
    return polls;
}

class PowerCut : public ::testing::Test {
protected:
    // Records 12 minutes of a night with lockouts and a link loss; notes each file's length after
    // every poll, the ends of its whole rows and records.
    void SetUp() override
    {
        const std::vector<PollInput> polls = NightPolls(12min);
        FolderRecorder recording(whole_.path(), language_, "test", false);
        for (const PollInput& poll : polls) {
            recording.RecordPoll(poll);
            for (const std::string& name : DayFileNames)
                if (std::error_code none; std::filesystem::exists(whole_.path() / name, none))
                    ends_[name].insert(std::filesystem::file_size(whole_.path() / name));
        }
        after_ = polls.back().time;
    }

    // The folder again with the file cut after its first length bytes.
    void CutInto(const test::TempDir& into, const std::string& name, std::uint64_t length) const
    {
        for (const std::string& file : DayFileNames)
            std::filesystem::copy_file(whole_.path() / file, into.path() / file);
        std::filesystem::resize_file(into.path() / name, length);
    }

    // A recorder started again after the cut: three more polls.
    void RecordAgain(const test::TempDir& into) const
    {
        FolderRecorder recording(into.path(), language_, "test", false);
        PollInput poll = NightPolls(10s).front();
        for (int i = 1; i <= AgainPolls; ++i) {
            poll.time = {after_.utcMs + i * 2300, 60};
            recording.RecordPoll(poll);
        }
    }

    // Whole rows or records in the first length bytes of the file; the header counts as none.
    std::size_t WholeIn(const std::string& name, std::uint64_t length) const
    {
        const std::set<std::uint64_t>& ends = ends_.at(name);
        const std::uint64_t header = name.ends_with(".kraw") ? RawFileHeader.size()
            : name.starts_with("events") ? CsvRow(EventsCsvSink::Header(language_)).size()
                                         : CsvRow(ReadingsCsvSink::Header(language_)).size();
        return static_cast<std::size_t>(std::count_if(
            ends.begin(), ends.end(), [&](std::uint64_t end) { return end > header && end <= length; }));
    }

    // Where to cut: inside the header, at, before and after the ends of the first and last rows, and
    // at points spread over the whole file.
    std::set<std::uint64_t> CutPoints(const std::string& name) const
    {
        const std::set<std::uint64_t>& ends = ends_.at(name);
        std::set<std::uint64_t> cuts{0, 1, 5};
        std::vector<std::uint64_t> near(ends.begin(), std::next(ends.begin(), std::min<std::size_t>(ends.size(), 3)));
        near.insert(near.end(), std::prev(ends.end(), std::min<std::size_t>(ends.size(), 3)), ends.end());
        for (std::uint64_t end : near)
            cuts.insert({end - 1, end, end + 1});
        const std::uint64_t size = *ends.rbegin();
        for (std::uint64_t step = 1; step < 40; ++step)
            cuts.insert(size * step / 40);
        std::erase_if(cuts, [size](std::uint64_t cut) { return cut >= size; });
        return cuts;
    }

    static constexpr int AgainPolls = 3;
    RecordLanguage language_{test::NumberedLanguage()};
    test::TempDir whole_;
    std::map<std::string, std::set<std::uint64_t>> ends_;
    LocalTime after_;
};

TEST_F(PowerCut, ARawFileCutAnywhereReadsBackToItsLastWholeRecord)
{
    const std::string name = "replies-2026-12-06.kraw";
    for (const std::uint64_t cut : CutPoints(name)) {
        test::TempDir folder;
        CutInto(folder, name, cut);
        std::size_t polls = 0;
        const bool whole = ReadRawFile(folder.path() / name, [&polls](const PollInput&) { ++polls; });
        EXPECT_EQ(polls, WholeIn(name, cut)) << "cut at " << cut;
        EXPECT_EQ(whole, ends_.at(name).contains(cut) || cut < RawFileHeader.size()) << "cut at " << cut;

        RecordAgain(folder);
        std::size_t recorded = 0;
        ReadRecording(folder.path(), [&recorded](const PollInput&) { ++recorded; });
        EXPECT_EQ(recorded, WholeIn(name, cut) + AgainPolls) << "cut at " << cut;
    }
}

TEST_F(PowerCut, ACsvFileCutAnywhereIsContinuedAfterItsLastWholeRow)
{
    for (const std::string name : {"readings-2026-12-06.csv", "events-2026-12-06.csv"}) {
        const test::CsvTable before = test::ParseCsv(test::ReadFileBytes((whole_.path() / name).string()));
        for (const std::uint64_t cut : CutPoints(name)) {
            test::TempDir folder;
            CutInto(folder, name, cut);
            RecordAgain(folder);

            const test::CsvTable after = test::ParseCsv(test::ReadFileBytes((folder.path() / name).string()));
            const std::size_t whole = WholeIn(name, cut);
            if (after.empty() && whole == 0)
                continue;  // an events file cut in its header, and no event since: nothing to read
            ASSERT_GE(after.size(), 1 + whole) << name << " cut at " << cut;
            EXPECT_TRUE(std::equal(after.begin(), after.begin() + 1 + static_cast<std::ptrdiff_t>(whole), before.begin()))
                << name << " cut at " << cut;
            if (name.starts_with("readings")) {
                EXPECT_EQ(after.size(), 1 + whole + AgainPolls) << name << " cut at " << cut;
            }
            for (const auto& row : after)
                EXPECT_EQ(row.size(), before.front().size()) << name << " cut at " << cut;
            EXPECT_FALSE(std::filesystem::exists(folder.path() / (name.substr(0, name.size() - 4) + "-2.csv")));
        }
    }
}

TEST(DurableDayFiles, RowsReachTheDiskWithinAMinuteAndEventsAtOnce)
{
    constexpr std::int64_t PollMs = 2300;
    constexpr std::int64_t SpanMs = 20 * 60'000;
    constexpr int SpanPolls = SpanMs / PollMs;
    const struct {
        Durability durability;
        std::uint64_t mostSyncs;
    } cases[] = {
        {Durability::EachAppend, SpanPolls + 1},  // the header too
        {Durability::Periodic, SpanMs / PeriodicSyncMs + 1},
        {Durability::None, 0},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        DayFiles files(dir.path(), "readings", ".csv", "header\r\n", [](const auto&) { return std::nullopt; },
            c.durability);
        const std::uint64_t syncsBefore = DataSyncCount();
        std::int64_t lastSyncMs = StartMs, longestUnsyncedMs = 0;
        for (int poll = 0; poll < SpanPolls; ++poll) {
            const std::int64_t atMs = StartMs + poll * PollMs;
            const std::uint64_t count = DataSyncCount();
            files.Append({atMs, 60}, "a row\r\n");
            if (DataSyncCount() > count)
                lastSyncMs = atMs;
            longestUnsyncedMs = std::max(longestUnsyncedMs, atMs - lastSyncMs);
        }
        const std::uint64_t syncs = DataSyncCount() - syncsBefore;
        if (c.durability == Durability::None) {
            EXPECT_EQ(syncs, 0u);
            continue;
        }
        EXPECT_LE(syncs, c.mostSyncs);
        EXPECT_LT(longestUnsyncedMs + PollMs, 60'000);
        if (c.durability == Durability::EachAppend) {
            EXPECT_EQ(longestUnsyncedMs, 0);
        }
    }
}

}  // namespace
}  // namespace kalvo::record
