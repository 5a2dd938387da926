// What --keep and --keep-megabytes remove: only the recorder's own day files, the oldest days first,
// never today's; what is kept still makes a night report.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "record/DayFileRetention.h"
#include "record/NightReport.h"
#include "record/RawReplies.h"
#include "testing/LanguageFixtures.h"
#include "testing/TempDir.h"
#include "tools/nightsim/NightSimulation.h"

namespace kalvo::record {
namespace {

using namespace std::chrono_literals;

TEST(DayFileRetention, OnlyTheRecordersOwnDayFileNamesHaveADate)
{
    const std::map<std::string, std::string> dated{{"readings-2026-12-07.csv", "2026-12-07"},
        {"events-2026-02-28.csv", "2026-02-28"}, {"replies-2026-12-07.kraw", "2026-12-07"},
        {"readings-2026-12-07-2.csv", "2026-12-07"}, {"replies-2026-12-07-13.kraw", "2026-12-07"}};
    for (const auto& [name, date] : dated)
        EXPECT_EQ(RecordedFileDate(name), date) << name;
    for (const char* name : {"readings-2026-12-07.csv.bak", "readings-2026-12-07.CSV", "replies-2026-12-07.csv",
             "readings-2026-13-01.csv", "readings-2026-12-7.csv", "readings-2026-12-07-1.csv",
             "readings-2026-12-07-02.csv", "readings-2026-12-07-.csv", "readings-2026-12-07 copy.csv",
             "notes-2026-12-07.csv", "night-report.html", ".kalvo-record.lock", "readings-.csv"})
        EXPECT_EQ(RecordedFileDate(name), std::nullopt) << name;
}

class RetentionFolder : public ::testing::Test {
protected:
    // A day's three files of the given size each.
    void Day(const std::string& date, std::size_t size = 100)
    {
        for (const char* pattern : {"readings-%s.csv", "events-%s.csv", "replies-%s.kraw"}) {
            char name[64];
            std::snprintf(name, sizeof name, pattern, date.c_str());
            test::WriteFileBytes(dir_.file(name), std::string(size, 'x'));
        }
    }

    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    // The dates of the day files left.
    std::set<std::string> Dates() const
    {
        std::set<std::string> dates;
        for (const std::string& name : Names())
            if (auto date = RecordedFileDate(name); date && std::filesystem::is_regular_file(dir_.path() / name))
                dates.insert(*date);
        return dates;
    }

    test::TempDir dir_;
};

TEST_F(RetentionFolder, TheOldestDaysGoBeyondTheDaysOrTheBytesButNeverToday)
{
    const struct {
        RetentionLimits limits;
        std::set<std::string> kept;
    } cases[] = {
        {{3, std::nullopt}, {"2026-12-05", "2026-12-06", "2026-12-07", "2026-12-09"}},
        {{1, std::nullopt}, {"2026-12-07", "2026-12-09"}},
        {{std::nullopt, 1200}, {"2026-12-06", "2026-12-07", "2026-12-09"}},  // 300 bytes a day, 200 numbered
        {{30, 1}, {"2026-12-07", "2026-12-09"}},
        {{31, std::nullopt}, {"2026-11-07", "2026-12-04", "2026-12-05", "2026-12-06", "2026-12-07", "2026-12-09"}},
    };
    for (const auto& c : cases) {
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            std::filesystem::remove_all(entry.path());
        for (const char* date : {"2026-11-06", "2026-11-07", "2026-12-04", "2026-12-05", "2026-12-06", "2026-12-07"})
            Day(date);
        Day("2026-12-09");  // a clock that was set back: after today
        test::WriteFileBytes(dir_.file("readings-2026-12-06-2.csv"), std::string(200, 'x'));

        const RetentionOutcome outcome = RemoveExpiredDayFiles(dir_.path(), "2026-12-07", c.limits);

        EXPECT_EQ(Dates(), c.kept);
        EXPECT_TRUE(outcome.problems.empty());
    }
}

TEST_F(RetentionFolder, AFileTheRecorderDidNotWriteStays)
{
    Day("2026-11-01");
    const std::set<std::string> foreign{"night-report.html", "readings-2026-11-01.csv.bak", "notes-2026-11-01.csv",
        "readings-2026-11-01-01.csv", ".kalvo-record.lock"};
    for (const std::string& name : foreign)
        test::WriteFileBytes(dir_.file(name), "kept");
    std::filesystem::create_directory(dir_.path() / "events-2026-11-02.csv");
#ifndef _WIN32
    test::WriteFileBytes(dir_.file("elsewhere.csv"), "a file a link points at");
    std::filesystem::create_symlink(dir_.path() / "elsewhere.csv", dir_.path() / "replies-2026-11-02.kraw");
#endif

    const RetentionOutcome outcome = RemoveExpiredDayFiles(dir_.path(), "2026-12-07", {1, 1});

    EXPECT_EQ(outcome.removed.size(), 3u);
    std::set<std::string> left = foreign;
    left.insert("events-2026-11-02.csv");
#ifndef _WIN32
    left.insert({"elsewhere.csv", "replies-2026-11-02.kraw"});
#endif
    EXPECT_EQ(Names(), left);
}

TEST_F(RetentionFolder, TheLimitsApplyAtTheFirstPollAndAtEachDayChange)
{
    std::vector<std::string> lines;
    RetentionSink sink(dir_.path(), {2, std::nullopt}, [&lines](const std::string& line) { lines.push_back(line); });
    const auto pollAt = [&sink](std::int64_t utcMs) {
        PollInput poll;
        poll.time = {utcMs, 60};
        sink.OnPoll(poll, DecodedPoll{});
    };
    constexpr std::int64_t Dec7Noon = 1'796'641'200'000;  // 2026-12-07T12:00:00+01:00
    Day("2026-12-04");
    pollAt(Dec7Noon);
    EXPECT_EQ(Dates(), std::set<std::string>{});
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines)
        EXPECT_TRUE(line.starts_with("removed ") && line.find("-2026-12-04.") != std::string::npos) << line;

    Day("2026-12-06");
    Day("2026-12-05");
    pollAt(Dec7Noon + 11 * 3'600'000LL);  // 23:00, the same day: nothing happens
    EXPECT_EQ(Dates(), (std::set<std::string>{"2026-12-05", "2026-12-06"}));
    pollAt(Dec7Noon + 12 * 3'600'000LL);  // midnight
    EXPECT_EQ(Dates(), std::set<std::string>{});
}

TEST_F(RetentionFolder, WhatIsKeptStillMakesANightReport)
{
    nightsim::NightPlan plan;
    plan.start = {1'796'583'600'000, 60};  // 2026-12-06T20:00:00+01:00
    plan.length = 29h;                      // into 2026-12-08
    plan.lockouts = {20h};
    const RecordLanguage language(test::NumberedLanguage());
    nightsim::WriteSimulatedRecording(plan, dir_.path().string(), language);
    ASSERT_EQ(Dates(), (std::set<std::string>{"2026-12-06", "2026-12-07", "2026-12-08"}));

    RemoveExpiredDayFiles(dir_.path(), "2026-12-08", {2, std::nullopt});

    EXPECT_EQ(Dates(), (std::set<std::string>{"2026-12-07", "2026-12-08"}));
    std::set<std::string> dates;
    const auto missing = ReadRecording(dir_.path(), [&dates](const PollInput& poll) { dates.insert(DateText(poll.time)); });
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(dates, (std::set<std::string>{"2026-12-07", "2026-12-08"}));
    WriteNightReport(dir_.path(), language, dir_.path() / "night-report.html");
    EXPECT_GT(std::filesystem::file_size(dir_.path() / "night-report.html"), 10'000u);
}

}  // namespace
}  // namespace kalvo::record
