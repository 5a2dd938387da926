#include "core/Language.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <ostream>
#include <filesystem>
#include <string>

#include "core/KalvoError.h"
#include "testing/TempDir.h"

namespace kalvo {
namespace {

using test::TempDir;
using test::WriteFileBytes;

// Numbered lines "Line 1" to "Line count", each ended by lineEnd.
std::string NumberedLines(int count, const std::string& lineEnd = "\r\n")
{
    std::string content;
    for (int n = 1; n <= count; ++n)
        content += "Line " + std::to_string(n) + lineEnd;
    return content;
}

// A table whose every line holds a text, so a test sees which lines a load emptied.
LanguageLines FilledTable()
{
    LanguageLines table;
    for (std::string& line : table.lines)
        line = "stale";
    return table;
}

LanguageLines LoadContent(const std::string& content)
{
    TempDir dir;
    const std::string path = dir.file("MY.LNG");
    WriteFileBytes(path, content);
    LanguageLines table = FilledTable();
    LoadLanguage(path, table);
    return table;
}

void ExpectLinesFrom(const LanguageLines& table, int first, int last, const std::string& text)
{
    for (int n = first; n <= last; ++n)
        EXPECT_EQ(table[n], text) << "line " << n;
}

TEST(LoadLanguage, EmptyFileGivesEmptyTexts)
{
    ExpectLinesFrom(LoadContent(""), 1, LanguageLines::Count, "");
}

TEST(LoadLanguage, LineFeedsAloneDoNotEndLines)
{
    const LanguageLines table = LoadContent("first\nsecond\nthird\n");
    EXPECT_EQ(table[1], "first\nsecond\nthird\n");
    ExpectLinesFrom(table, 2, LanguageLines::Count, "");
}

TEST(LoadLanguage, EndOfContentByteEndsTheFile)
{
    const LanguageLines table = LoadContent(NumberedLines(40) + "\x1A" + NumberedLines(60));
    EXPECT_EQ(table[40], "Line 40");
    ExpectLinesFrom(table, 41, LanguageLines::Count, "");
}

TEST(LoadLanguage, EndOfContentByteInsideALineEndsItAndTheFile)
{
    const LanguageLines table = LoadContent("one\r\ntw\x1Ao\r\nthree\r\n");
    EXPECT_EQ(table[1], "one");
    EXPECT_EQ(table[2], "tw");
    ExpectLinesFrom(table, 3, LanguageLines::Count, "");
}

TEST(LoadLanguage, EndOfContentByteRightAfterACarriageReturnIsNotALineFeed)
{
    const LanguageLines table = LoadContent("one\r\x1A\ntwo\r\n");
    EXPECT_EQ(table[1], "one");
    ExpectLinesFrom(table, 2, LanguageLines::Count, "");
}

TEST(LoadLanguage, ReadsEachLineByNumberAndIgnoresLinesBeyondTheTable)
{
    const LanguageLines table = LoadContent(NumberedLines(200));
    for (int n = 1; n <= LanguageLines::Count; ++n)
        EXPECT_EQ(table[n], "Line " + std::to_string(n));
}

TEST(LoadLanguage, LastLineNeedsNoLineEnd)
{
    const LanguageLines table = LoadContent("one\r\ntwo");
    EXPECT_EQ(table[1], "one");
    EXPECT_EQ(table[2], "two");
    ExpectLinesFrom(table, 3, LanguageLines::Count, "");
}

struct LineEndCase {
    const char* name;
    const char* content;
    const char* line1;
    const char* line2;
    const char* line3;
};

void PrintTo(const LineEndCase& c, std::ostream* os)
{
    *os << c.name;
}

class LanguageLineEnds : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(LanguageLineEnds, SplitLines)
{
    const LanguageLines table = LoadContent(GetParam().content);
    EXPECT_EQ(table[1], GetParam().line1);
    EXPECT_EQ(table[2], GetParam().line2);
    EXPECT_EQ(table[3], GetParam().line3);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LanguageLineEnds,
    ::testing::Values(LineEndCase{"CrLf", "a\r\nb\r\nc\r\n", "a", "b", "c"},
                      LineEndCase{"LoneCr", "a\rb\rc", "a", "b", "c"},
                      LineEndCase{"CrThenTwoLf", "a\r\n\nb\r\n", "a", "\nb", ""},
                      LineEndCase{"LfBeforeCr", "a\n\r\nb", "a\n", "b", ""},
                      LineEndCase{"EmptyLines", "\r\n\r\nc", "", "", "c"},
                      LineEndCase{"TwoCr", "a\r\rc", "a", "", "c"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadLanguage, KeepsLongLinesAndTheirBlanksWhole)
{
    const std::string longLine = "  " + std::string(296, 'x') + "\t ";
    const LanguageLines table = LoadContent("first\r\n" + longLine + "\r\nlast\r\n");
    EXPECT_EQ(table[2], longLine);
    EXPECT_EQ(table[3], "last");
}

TEST(LoadLanguage, KeepsEveryOtherByteAsItStands)
{
    std::string bytes("nul\0here", 8);
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        bytes.push_back(static_cast<char>(byte));
    const LanguageLines table = LoadContent("\xEF\xBB\xBFmark\r\n" + bytes + "\r\n");
    EXPECT_EQ(table[1], "\xEF\xBB\xBFmark");
    EXPECT_EQ(table[2], bytes);
}

TEST(LoadLanguage, ReadsNoMoreThanItsByteLimit)
{
    const LanguageLines table = LoadContent(std::string(MaxLanguageBytes + 10, 'x') + "\r\nsecond\r\n");
    EXPECT_EQ(table[1], std::string(MaxLanguageBytes, 'x'));
    ExpectLinesFrom(table, 2, LanguageLines::Count, "");
}

TEST(LoadLanguage, ReloadingLeavesNothingOfTheEarlierFile)
{
    TempDir dir;
    const std::string path = dir.file("MY.LNG");
    LanguageLines table;
    WriteFileBytes(path, NumberedLines(139));
    LoadLanguage(path, table);
    WriteFileBytes(path, "only\r\n");
    LoadLanguage(path, table);
    EXPECT_EQ(table[1], "only");
    ExpectLinesFrom(table, 2, LanguageLines::Count, "");
}

// ---- Failures ------------------------------------------------------------------------------

// Loads path into a table full of stale texts, expects the error message and an emptied table.
void ExpectLoadError(const std::string& path, const std::string& message)
{
    LanguageLines table = FilledTable();
    try {
        LoadLanguage(path, table);
        ADD_FAILURE() << "no error for " << path;
    } catch (const KalvoError& error) {
        EXPECT_EQ(std::string(error.what()), message);
    }
    ExpectLinesFrom(table, 1, LanguageLines::Count, "");
}

TEST(LoadLanguageErrors, MissingFile)
{
    TempDir dir;
    ExpectLoadError(dir.file("MY.LNG"), "File not found");
}

TEST(LoadLanguageErrors, MissingFolder)
{
    TempDir dir;
    ExpectLoadError(dir.file("gone/MY.LNG"), "Invalid filename");
}

TEST(LoadLanguageErrors, FileInPlaceOfTheFolder)
{
    TempDir dir;
    WriteFileBytes(dir.file("plain"), "x");
    ExpectLoadError(dir.file("plain/MY.LNG"), "Invalid filename");
}

TEST(LoadLanguageErrors, FolderInPlaceOfTheFile)
{
    TempDir dir;
    std::filesystem::create_directory(dir.file("MY.LNG"));
    ExpectLoadError(dir.file("MY.LNG"), "File access denied");
}

// Permissions, descriptor limits and /proc are POSIX matters; Windows reports its own causes.
#ifndef _WIN32
TEST(LoadLanguageErrors, UnreadableFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their permissions say";
    TempDir dir;
    const std::string path = dir.file("MY.LNG");
    WriteFileBytes(path, "text\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    ExpectLoadError(path, "File access denied");
}

TEST(LoadLanguageErrors, TooManyOpenFiles)
{
    TempDir dir;
    const std::string path = dir.file("MY.LNG");
    WriteFileBytes(path, "text\r\n");
    // The lowest free descriptor number becomes the limit, so the next open finds none left.
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    ExpectLoadError(path, "Too many open files");
    setrlimit(RLIMIT_NOFILE, &saved);
}

// Neither blocks: a FIFO would wait in the open for a writer, /dev/zero never ends.
TEST(LoadLanguageErrors, NothingButARegularFileIsRead)
{
    TempDir dir;
    const std::string fifo = dir.file("fifo/MY.LNG");
    const std::string device = dir.file("device/MY.LNG");
    std::filesystem::create_directories(dir.file("fifo"));
    std::filesystem::create_directories(dir.file("device"));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", device);
    ExpectLoadError(fifo, "File access denied");
    ExpectLoadError(device, "File access denied");
}

TEST(LoadLanguageErrors, ReadFailureIsAnInputOutputError)
{
    // Reading this process's memory from address 0 fails on the first byte with EIO.
    const std::string unreadable = "/proc/self/mem";
    ASSERT_TRUE(std::filesystem::exists(unreadable)) << "no " << unreadable << " on this system";
    ExpectLoadError(unreadable, "I/O error " + std::to_string(EIO));
}
#endif

}  // namespace
}  // namespace kalvo
