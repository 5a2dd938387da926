// Recording again into a folder that holds files of the day: they are continued when they can be,
// and never overwritten. Runs on Windows too, where files are appended through another C runtime.

#include <algorithm>

#include "record/FolderRecorder.h"
#include "tests/record/SessionFixture.h"

namespace kalvo::record {
namespace {

using namespace test_session;

TEST_F(RecordSessionFixture, ARestartAppendsToTheDaysFilesAndOverwritesNothing)
{
    const long long first = Record(30min);
    const std::string before = test::ReadFileBytes(dir_.file("readings-2026-12-06.csv"));
    const std::string rawBefore = test::ReadFileBytes(dir_.file("replies-2026-12-06.kraw"));
    const long long second = Record(10min);

    const std::string after = test::ReadFileBytes(dir_.file("readings-2026-12-06.csv"));
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(static_cast<long long>(std::count(after.begin(), after.end(), '\n')), 1 + first + second);  // one header
    EXPECT_EQ(test::ReadFileBytes(dir_.file("replies-2026-12-06.kraw")).substr(0, rawBefore.size()), rawBefore);
    long long rawPolls = 0;
    ReadRecording(dir_.path(), [&](const PollInput&) { ++rawPolls; });
    EXPECT_EQ(rawPolls, first + second);
}

TEST_F(RecordSessionFixture, AFileOfTheDayThatCannotBeContinuedGetsANumberedNeighbour)
{
    const std::string foreign = "someone else's,file\r\n";
    const std::string cutShort = std::string(RawFileHeader) + "\xA5" + "F";
    test::WriteFileBytes(dir_.file("readings-2026-12-06.csv"), foreign);
    test::WriteFileBytes(dir_.file("replies-2026-12-06.kraw"), cutShort);
    const long long polls = Record(1min);

    EXPECT_EQ(test::ReadFileBytes(dir_.file("readings-2026-12-06.csv")), foreign);
    EXPECT_EQ(test::ReadFileBytes(dir_.file("replies-2026-12-06.kraw")), cutShort);
    const std::string numbered = test::ReadFileBytes(dir_.file("readings-2026-12-06-2.csv"));
    EXPECT_EQ(static_cast<long long>(std::count(numbered.begin(), numbered.end(), '\n')), 1 + polls);
    long long rawPolls = 0;
    ReadRawFile(dir_.file("replies-2026-12-06-2.kraw"), [&](const PollInput&) { ++rawPolls; });
    EXPECT_EQ(rawPolls, polls);
}

TEST_F(RecordSessionFixture, AnEmptyFileOfTheDayIsTakenInsteadOfANumberedNeighbour)
{
    test::WriteFileBytes(dir_.file("readings-2026-12-06.csv"), "");
    const long long polls = Record(1min);

    const std::string taken = test::ReadFileBytes(dir_.file("readings-2026-12-06.csv"));
    EXPECT_EQ(static_cast<long long>(std::count(taken.begin(), taken.end(), '\n')), 1 + polls);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("readings-2026-12-06-2.csv")));
}

TEST_F(RecordSessionFixture, ARecordingDecodesAgainWithAnotherLanguage)
{
    const long long polls = Record(40min);
    const std::string recorded = test::ReadFileBytes(dir_.file("readings-2026-12-06.csv"));
    LanguageLines other = language_.lines;
    other[12 + RunState] = "Running";
    test::TempDir again;

    EXPECT_EQ(DecodeRecording(dir_.path(), again.path(), language_).polls, polls);
    // Whole files compared: the same bytes, without printing them.
    EXPECT_TRUE(test::ReadFileBytes(again.file("readings-2026-12-06.csv")) == recorded);
    EXPECT_TRUE(test::ReadFileBytes(again.file("events-2026-12-06.csv")) ==
                test::ReadFileBytes(dir_.file("events-2026-12-06.csv")));

    test::TempDir translated;
    EXPECT_EQ(DecodeRecording(dir_.path(), translated.path(), RecordLanguage(other)).polls, polls);
    std::string expected = recorded;
    const std::string before = ",Betrieb \xC3\xA9,", after = ",Running,";
    for (auto at = expected.find(before); at != std::string::npos; at = expected.find(before, at))
        expected.replace(at, before.size(), after);
    EXPECT_TRUE(expected != recorded);
    EXPECT_TRUE(test::ReadFileBytes(translated.file("readings-2026-12-06.csv")) == expected);
    EXPECT_THROW(DecodeRecording(dir_.path(), dir_.path() / ".", language_), RecordError);
    // Into a folder that holds a set already, a second decoding would double every row.
    EXPECT_THROW(DecodeRecording(dir_.path(), again.path(), language_), RecordError);
    EXPECT_TRUE(test::ReadFileBytes(again.file("readings-2026-12-06.csv")) == recorded);
}

}  // namespace
}  // namespace kalvo::record
