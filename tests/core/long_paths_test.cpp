#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "core/LongPaths.h"
#include "testing/TempDir.h"

namespace {

namespace fs = std::filesystem;

// Nested folders whose path has at least the given length, two files and a subfolder in the
// deepest. Taken down by name: removing a deep tree would list folders through the very reader
// that cannot take them.
class DeepFolder {
public:
    DeepFolder(const fs::path& base, std::size_t length)
    {
        fs::path folder = base;
        while (folder.native().size() < length) {
            folder /= std::string(std::min<std::size_t>(60, length - folder.native().size() + 1), 'd');
            fs::create_directory(kalvo::UnlimitedPath(folder));
            made_.push_back(folder);
        }
        for (const char* name : {"replies-a.kraw", "readings-b.csv"})
            std::ofstream(kalvo::UnlimitedPath(folder / name)) << name;
        fs::create_directory(kalvo::UnlimitedPath(folder / "sub"));
        made_.push_back(folder / "sub");
    }
    ~DeepFolder()
    {
        std::error_code ignored;
        for (const char* name : {"replies-a.kraw", "readings-b.csv"})
            fs::remove(kalvo::UnlimitedPath(made_[made_.size() - 2] / name), ignored);
        for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder)
            fs::remove(kalvo::UnlimitedPath(*folder), ignored);
    }
    fs::path Path() const { return made_[made_.size() - 2]; }

private:
    std::vector<fs::path> made_;
};

TEST(LongPaths, FilesOfAFolderAreListedAndOpenAtAnyLength)
{
    const kalvo::test::TempDir dir;
    for (std::size_t length : {100u, 262u, 300u, 400u}) {
        SCOPED_TRACE(length);
        const DeepFolder folder(dir.path(), length);
        std::error_code error;
        std::vector<std::string> contents;
        for (const fs::path& file : kalvo::RegularFilesIn(folder.Path(), error)) {
            std::string text;
            std::getline(std::ifstream(file), text);
            contents.push_back(file.filename().string() + ": " + text);
        }
        std::sort(contents.begin(), contents.end());
        EXPECT_FALSE(error) << error.message();
        EXPECT_EQ(
            contents, (std::vector<std::string>{"readings-b.csv: readings-b.csv", "replies-a.kraw: replies-a.kraw"}));
    }
}

TEST(LongPaths, AFolderThatIsNotThereCannotBeRead)
{
    const kalvo::test::TempDir dir;
    std::error_code error;
    EXPECT_TRUE(kalvo::RegularFilesIn(dir.path() / "missing", error).empty());
    EXPECT_TRUE(error);
}

#ifdef _WIN32
TEST(LongPaths, OnlyPathsTooLongForWindowsTakeTheLongForm)
{
    const std::wstring deep = L"\\" + std::wstring(250, L'd');
    const struct {
        std::wstring given;
        std::wstring expected;
    } cases[] = {
        {LR"(C:\short\file.txt)", LR"(C:\short\file.txt)"},
        {L"C:" + deep + L"\\x.txt", LR"(\\?\C:)" + deep + L"\\x.txt"},
        {L"C:" + deep + L"/sub/../x.txt", LR"(\\?\C:)" + deep + L"\\x.txt"},
        {LR"(\\server\share)" + deep, LR"(\\?\UNC\server\share)" + deep},
        {LR"(\\?\C:)" + deep, LR"(\\?\C:)" + deep},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kalvo::UnlimitedPath(c.given).native(), c.expected);
}
#endif

}  // namespace
