#include "core/Settings.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <csignal>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <vector>

#include "core/KalvoError.h"
#include "testing/TempDir.h"
#ifndef _WIN32
#include "testing/FullDiskPosix.h"
#endif

namespace kalvo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr int Default = -77;

struct IntegerCase {
    const char* value;
    int expected;
};

void PrintTo(const IntegerCase& c, std::ostream* os)
{
    *os << '"' << c.value << '"';
}

class ReadIniIntegerValues : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ReadIniIntegerValues, ReadsValueOrDefault)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, std::string("[Main]\r\nCOM=") + GetParam().value + "\r\n");
    EXPECT_EQ(ReadIniInteger(path, "Main", "COM", Default), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, ReadIniIntegerValues,
                         ::testing::Values(IntegerCase{"5", 5}, IntegerCase{"$1F", 31},
                                           IntegerCase{"$1f", 31}, IntegerCase{"0x3", 3},
                                           IntegerCase{"0X3", 3}, IntegerCase{" 7", 7},
                                           IntegerCase{"-1", -1}, IntegerCase{"+5", 5},
                                           IntegerCase{"-$10", -16}, IntegerCase{"007", 7},
                                           IntegerCase{"2147483647", 2147483647},
                                           IntegerCase{"-2147483648", -2147483647 - 1},
                                           IntegerCase{"$7FFFFFFF", 2147483647},
                                           IntegerCase{"abc", Default}, IntegerCase{"", Default},
                                           IntegerCase{"12abc", Default}, IntegerCase{"1 2", Default},
                                           IntegerCase{"2147483648", Default},
                                           IntegerCase{"-2147483649", Default},
                                           IntegerCase{"$80000000", Default},
                                           IntegerCase{"99999999999999999999", Default},
                                           IntegerCase{"$", Default}, IntegerCase{"0x", Default},
                                           IntegerCase{"-", Default}, IntegerCase{"--5", Default},
                                           IntegerCase{"$-5", Default}, IntegerCase{"$G", Default},
                                           IntegerCase{"1.5", Default}, IntegerCase{"\"5\"", 5},
                                           IntegerCase{"'0x3'", 3}, IntegerCase{"\"5'", Default},
                                           IntegerCase{"\" 5\"", 5}, IntegerCase{"'\t5'", 5},
                                           IntegerCase{"\"5 \"", Default}, IntegerCase{"\v5\v", 5}));

TEST(ReadIniInteger, MissingFileSectionOrKeyGivesDefault)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    EXPECT_EQ(ReadIniInteger(path, "Main", "COM", Default), Default);
    EXPECT_EQ(ReadIniInteger(dir.file("no/such/folder.ini"), "Main", "COM", Default), Default);

    WriteFileBytes(path, "[Other]\r\nCOM=4\r\n[Main]\r\nPanel=2\r\nCOMX=9\r\n;COM=8\r\nCOM\r\n");
    EXPECT_EQ(ReadIniInteger(path, "Main", "COM", Default), Default);
    EXPECT_EQ(ReadIniInteger(path, "Missing", "Panel", Default), Default);
    EXPECT_EQ(ReadIniInteger(path, "Main", "Panel", Default), 2);
}

TEST(ReadIniInteger, AFolderInPlaceOfTheFileGivesDefault)
{
    TempDir dir;
    fs::create_directory(dir.file("Kalvo.ini"));
    EXPECT_EQ(ReadIniInteger(dir.file("Kalvo.ini"), "Main", "COM", Default), Default);
}

TEST(ReadIniString, NamesIgnoreCaseAndSurroundingBlanks)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "  [ mAIN ]  \n  com  =  /dev/tty S0  \n\tpanel\t=\t2\t\n\vPorts\v=\v3\v\n");
    EXPECT_EQ(ReadIniString(path, "Main", "COM"), "/dev/tty S0");
    EXPECT_EQ(ReadIniInteger(path, "MAIN", "Panel", Default), 2);
    EXPECT_EQ(ReadIniInteger(path, "Main", "Ports", Default), 3);
    WriteIniInteger(path, "Main", "Ports", 4);
    EXPECT_EQ(ReadFileBytes(path), "  [ mAIN ]  \n  com  =  /dev/tty S0  \n\tpanel\t=\t2\t\n\vPorts\v=\v4\n");
}

// ---- Line ends -----------------------------------------------------------------------------

// CR LF, LF and a lone CR each end a line. The same settings in each style, in the three styles
// mixed in turn, each with and without a line end after the last line.
struct LineEndCase {
    std::vector<std::string> ends;  // line k ends with ends[k % ends.size()]
    bool finalEnd;
};

void PrintTo(const LineEndCase& c, std::ostream* os)
{
    for (const std::string& end : c.ends)
        *os << (end == "\r\n" ? "CRLF " : end == "\r" ? "CR " : "LF ");
    *os << (c.finalEnd ? "with final end" : "no final end");
}

std::string Compose(const std::vector<std::string>& lines, const LineEndCase& c)
{
    std::string content;
    for (std::size_t k = 0; k < lines.size(); ++k)
        content += lines[k] + (k + 1 < lines.size() || c.finalEnd ? c.ends[k % c.ends.size()] : "");
    return content;
}

std::vector<LineEndCase> AllLineEndCases()
{
    const std::vector<std::vector<std::string>> styles{
        {"\r\n"}, {"\n"}, {"\r"}, {"\r\n", "\r", "\n"}, {"\r", "\n", "\r\n"}, {"\n", "\r\n", "\r"}};
    std::vector<LineEndCase> cases;
    for (const auto& ends : styles)
        for (const bool finalEnd : {true, false})
            cases.push_back({ends, finalEnd});
    return cases;
}

class LineEnds : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(LineEnds, EveryKeyReadsAndAWriteKeepsEveryOtherByte)
{
    const std::vector<std::string> lines{"; Kalvo", "[Main]", "COM=6", "Panel=2", "[Ports]",
                                         "COM3=/dev/ttyUSB0", "[Other]", "A=1"};
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, Compose(lines, GetParam()));
    EXPECT_EQ(ReadIniInteger(path, "Main", "COM", Default), 6);
    EXPECT_EQ(ReadIniInteger(path, "Main", "Panel", Default), 2);
    EXPECT_EQ(ReadIniSection(path, "Ports"), (std::map<std::string, std::string>{{"COM3", "/dev/ttyUSB0"}}));
    EXPECT_EQ(ReadIniString(path, "Other", "A"), "1");

    WriteIniInteger(path, "Main", "COM", 7);
    auto expected = lines;
    expected[2] = "COM=7";
    EXPECT_EQ(ReadFileBytes(path), Compose(expected, GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Styles, LineEnds, ::testing::ValuesIn(AllLineEndCases()));

TEST(ReadIniString, DistinguishesEmptyFromMissing)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Main]\r\nCOM=\r\nPanel=a=b\r\n");
    EXPECT_EQ(ReadIniString(path, "Main", "COM"), "");
    EXPECT_EQ(ReadIniString(path, "Main", "Panel"), "a=b");
    EXPECT_EQ(ReadIniString(path, "Main", "Other"), std::nullopt);
}

TEST(ReadIniString, FirstOfRepeatedSectionsAndKeysCounts)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Main]\nCOM=1\ncom=2\n[Main]\nCOM=3\nPanel=2\n");
    EXPECT_EQ(ReadIniString(path, "Main", "COM"), "1");
    EXPECT_EQ(ReadIniString(path, "Main", "Panel"), std::nullopt);
}

TEST(ReadIniSection, ListsKeysAsWrittenWithoutComments)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Main]\r\nCOM=7\r\n[ports]\r\n; COM1=/dev/null\r\nCOM7 = /dev/pts/3\r\n"
                         "com7=/dev/other\r\nCom12=/dev/serial/by-id/usb-x\r\njunk\r\n\r\n[Next]\r\nA=1\r\n");
    const std::map<std::string, std::string> expected{{"COM7", "/dev/pts/3"},
                                                      {"Com12", "/dev/serial/by-id/usb-x"}};
    EXPECT_EQ(ReadIniSection(path, "Ports"), expected);
    EXPECT_TRUE(ReadIniSection(path, "Missing").empty());
    EXPECT_TRUE(ReadIniSection(dir.file("missing.ini"), "Ports").empty());
}

// ---- Writing -------------------------------------------------------------------------------

TEST(WriteIni, CreatesANewFileWithCrLfLineEnds)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteIniInteger(path, "Main", "COM", -1);
    WriteIniInteger(path, "Main", "Panel", 1);
    EXPECT_EQ(ReadFileBytes(path), "[Main]\r\nCOM=-1\r\nPanel=1\r\n");
}

TEST(WriteIni, ReplacesAValueInPlaceAndKeepsEverythingElse)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    const std::string before = "; Kalvo settings\r\n\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n\r\n"
                               "[main]\r\n  com = 5  \r\nPanel=2\r\n\r\n[Zeta]\r\nCOM=9";
    WriteFileBytes(path, before);
    WriteIniInteger(path, "Main", "COM", 12);
    EXPECT_EQ(ReadFileBytes(path), "; Kalvo settings\r\n\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n\r\n"
                                   "[main]\r\n  com = 12\r\nPanel=2\r\n\r\n[Zeta]\r\nCOM=9");
}

TEST(WriteIni, AddsANewKeyAtTheEndOfItsSectionBeforeBlankLines)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Main]\nCOM=3\n\n[Ports]\nCOM3=/dev/pts/1\n");
    WriteIniInteger(path, "Main", "Panel", 2);
    WriteIniString(path, "Ports", "COM4", "/dev/pts/2");
    EXPECT_EQ(ReadFileBytes(path), "[Main]\nCOM=3\nPanel=2\n\n[Ports]\nCOM3=/dev/pts/1\nCOM4=/dev/pts/2\n");
}

TEST(WriteIni, ANewKeyEndsLikeTheLineBeforeItSoNoBlankLineMerges)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Main]\rCOM=3\n\n[Ports]\r");
    WriteIniInteger(path, "Main", "Panel", 2);
    WriteIniInteger(path, "Main", "Other", 1);
    EXPECT_EQ(ReadFileBytes(path), "[Main]\rCOM=3\nPanel=2\nOther=1\n\n[Ports]\r");
}

TEST(WriteIni, AddsASectionAfterALastLineWithoutLineEnd)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Other]\r\nA=1");
    WriteIniInteger(path, "Main", "COM", 4);
    EXPECT_EQ(ReadFileBytes(path), "[Other]\r\nA=1\r\n[Main]\r\nCOM=4\r\n");
}

TEST(WriteIni, AddsAKeyToAnEmptyLastSectionWithoutLineEnd)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Other]\nA=1\n[Main]");
    WriteIniInteger(path, "Main", "Panel", 1);
    EXPECT_EQ(ReadFileBytes(path), "[Other]\nA=1\n[Main]\nPanel=1\n");
}

TEST(WriteIni, WrittenValuesReadBack)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    for (const int value : {0, 255, -1, 2147483647, -2147483647 - 1}) {
        WriteIniInteger(path, "Main", "COM", value);
        EXPECT_EQ(ReadIniInteger(path, "Main", "COM", Default), value);
    }
    EXPECT_EQ(ReadFileBytes(path), "[Main]\r\nCOM=-2147483648\r\n");
}

TEST(WriteIni, RefusesNamesAndValuesThatWouldBreakTheFile)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    EXPECT_THROW(WriteIniString(path, "Main", "COM", "1\r\n[Evil]"), std::invalid_argument);
    EXPECT_THROW(WriteIniString(path, "Main", "A=B", "1"), std::invalid_argument);
    EXPECT_THROW(WriteIniString(path, "Main", ";COM", "1"), std::invalid_argument);
    EXPECT_THROW(WriteIniString(path, "Main", "", "1"), std::invalid_argument);
    EXPECT_THROW(WriteIniString(path, "Ma]in", "COM", "1"), std::invalid_argument);
    EXPECT_THROW(WriteIniString(path, " Main", "COM", "1"), std::invalid_argument);
    EXPECT_FALSE(fs::exists(path));
}

// POSIX file modes and symbolic links.
#ifndef _WIN32
TEST(WriteIni, KeepsPermissionsOfAnExistingFile)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Main]\nCOM=1\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteIniInteger(path, "Main", "COM", 2);
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(WriteIni, WritesThroughASymbolicLink)
{
    TempDir dir;
    const std::string real = dir.file("real.ini");
    const std::string link = dir.file("Kalvo.ini");
    WriteFileBytes(real, "[Main]\nCOM=1\n");
    fs::create_symlink(real, link);
    WriteIniInteger(link, "Main", "COM", 2);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(real), "[Main]\nCOM=2\n");
}

TEST(WriteIni, CreatesTheMissingTargetOfASymbolicLink)
{
    TempDir dir;
    const std::string real = dir.file("real.ini");
    const std::string link = dir.file("Kalvo.ini");
    fs::create_symlink(real, link);
    WriteIniInteger(link, "Main", "COM", 2);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadIniInteger(real, "Main", "COM", -1), 2);
}
#endif

// Names in the folder other than the settings file itself: leftovers of a write.
std::vector<std::string> OtherFilesIn(const TempDir& dir, const std::string& keep)
{
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path().filename() != keep)
            others.push_back(entry.path().filename().string());
    return others;
}

void ExpectUnableToWrite(const std::string& path, const std::string& value = "3")
{
    try {
        WriteIniString(path, "Main", "COM", value);
        ADD_FAILURE() << "no error for " << path;
    } catch (const KalvoError& error) {
        EXPECT_STREQ(error.what(), ("Unable to write to " + path).c_str());
    }
}

TEST(WriteIni, MissingFolderIsUnableToWrite)
{
    TempDir dir;
    ExpectUnableToWrite(dir.file("gone/Kalvo.ini"));
    EXPECT_TRUE(OtherFilesIn(dir, "").empty());
}

TEST(WriteIni, FolderInPlaceOfTheFileIsUnableToWriteAndStays)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    fs::create_directory(path);
    WriteFileBytes(path + "/inside", "x");
    ExpectUnableToWrite(path);
    EXPECT_EQ(ReadFileBytes(path + "/inside"), "x");
    EXPECT_TRUE(OtherFilesIn(dir, "Kalvo.ini").empty());
}

// Folder modes and file-size limits are POSIX matters.
#ifndef _WIN32
TEST(WriteIni, ReadOnlyFolderIsUnableToWriteAndKeepsTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders; the file-size test covers this path";
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Main]\r\nCOM=5\r\n");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    ExpectUnableToWrite(path);
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(ReadFileBytes(path), "[Main]\r\nCOM=5\r\n");
    EXPECT_TRUE(OtherFilesIn(dir, "Kalvo.ini").empty());
}

// Also for the superuser, whom the system would let write it.
TEST(WriteIni, ReadOnlyFileIsUnableToWriteAndStays)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    WriteFileBytes(path, "[Main]\r\nCOM=5\r\n");
    fs::permissions(path, fs::perms::owner_read);
    ExpectUnableToWrite(path);
    EXPECT_EQ(ReadFileBytes(path), "[Main]\r\nCOM=5\r\n");
    EXPECT_TRUE(OtherFilesIn(dir, "Kalvo.ini").empty());
}

// A FIFO would block the read for ever, a device might never end, and a file beyond the size
// limit is no settings file: each reads as absent and is not written over.
TEST(WriteIni, NoRegularFileOrAnOversizedOneReadsAsAbsentAndStays)
{
    TempDir dir;
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string device = dir.file("device.ini");
    fs::create_symlink("/dev/zero", device);
    const std::string oversized = dir.file("oversized.ini");
    const std::string bytes = "[Main]\r\nCOM=5\r\n;" + std::string(MaxSettingsFileBytes, 'x');
    WriteFileBytes(oversized, bytes);

    for (const std::string& path : {fifo, device, oversized}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(ReadIniInteger(path, "Main", "COM", Default), Default);
        ExpectUnableToWrite(path);
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(fs::read_symlink(device), "/dev/zero");
    EXPECT_TRUE(ReadFileBytes(oversized) == bytes);
}

// Lowers the largest file this process may write, like a nearly full disk, for one scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

// What a write onto the full disk left wrong: its error, the file's bytes, leftovers beside it.
std::string FullDiskWriteFaults(const std::string& folder, const std::optional<std::string>& before)
{
    const std::string path = folder + "/Kalvo.ini";
    std::string faults;
    try {
        WriteIniString(path, "Main", "COM", "12");
        faults += "no error; ";
    } catch (const KalvoError& error) {
        if (error.what() != "Unable to write to " + path)
            faults += std::string("error \"") + error.what() + "\"; ";
    }
    if (before && ReadFileBytes(path) != *before)
        faults += "the old file changed: \"" + ReadFileBytes(path) + "\"; ";
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != "filler" && (name != "Kalvo.ini" || !before))
            faults += "left " + name + "; ";
    }
    return faults;
}

TEST(WriteIni, OnAFullDiskTheOldFileStaysByteForByteAndNoNewFileIsLeft)
{
    const std::string before = "[Main]\r\nCOM=5\r\nPanel=2\r\n";
    const auto existing = test::RunOnFullDisk(
        [&](const std::string& folder) { WriteFileBytes(folder + "/Kalvo.ini", before); },
        [&](const std::string& folder) { return FullDiskWriteFaults(folder, before); });
    EXPECT_EQ(existing.failures, "") << (existing.onTmpfs ? "on a full tmpfs" : "under a file-size limit");
    const auto fresh = test::RunOnFullDisk([](const std::string&) {},
                                           [](const std::string& folder) { return FullDiskWriteFaults(folder, {}); });
    EXPECT_EQ(fresh.failures, "") << (fresh.onTmpfs ? "on a full tmpfs" : "under a file-size limit");
    RecordProperty("full_disk", existing.onTmpfs ? "tmpfs" : "file-size limit");
}

TEST(WriteIni, FailedWriteKeepsTheOldFileWholeAndLeavesNoTemporaryFile)
{
    TempDir dir;
    const std::string path = dir.file("Kalvo.ini");
    const std::string before = "[Main]\r\nCOM=5\r\nPanel=2\r\n";
    WriteFileBytes(path, before);
    {
        const FileSizeLimit limit(before.size());
        ExpectUnableToWrite(path, std::string(64, '7'));  // grows the file past the limit
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_TRUE(OtherFilesIn(dir, "Kalvo.ini").empty());
}
#endif

// ---- Settings path -------------------------------------------------------------------------

struct PathCase {
    const char* executable;
    const char* settings;
};

void PrintTo(const PathCase& c, std::ostream* os)
{
    *os << c.executable;
}

class SettingsPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsPath, ReplacesOrAppendsTheExtension)
{
    EXPECT_EQ(SettingsPathFor(GetParam().executable), GetParam().settings);
}

INSTANTIATE_TEST_SUITE_P(Names, SettingsPath,
                         ::testing::Values(PathCase{"/opt/kalvo/Kalvo.exe", "/opt/kalvo/Kalvo.ini"},
                                           PathCase{"/opt/kalvo/Kalvo", "/opt/kalvo/Kalvo.ini"},
                                           PathCase{"/opt/kalvo-2.03/Kalvo", "/opt/kalvo-2.03/Kalvo.ini"},
                                           PathCase{"/opt/my.app/Kalvo.bin", "/opt/my.app/Kalvo.ini"},
                                           PathCase{"/opt/Kalvo.tar.exe", "/opt/Kalvo.tar.ini"},
                                           PathCase{"Kalvo", "Kalvo.ini"}));

}  // namespace
}  // namespace kalvo
