#include "core/LongPaths.h"

#include <algorithm>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // std::max, not the macro
#endif
#include <windows.h>
#endif

namespace kalvo {

namespace {

// The longest name of one folder or file that NTFS, ext4 and most other file systems take.
constexpr std::size_t LongestName = 255;
// Windows' classic limit of a whole path, the terminating zero not counted.
constexpr std::size_t LongestClassicPath = 259;

}  // namespace

std::string PathFailureText(const std::filesystem::path& path, std::error_code failure)
{
    std::size_t longestName = 0;
    for (const std::filesystem::path& name : path.relative_path())
        longestName = std::max(longestName, name.native().size());
    if (longestName > LongestName)
        return "path too long: a name in it has " + std::to_string(longestName) + " characters, more than the "
            + std::to_string(LongestName) + " a folder or file name may have";
#ifdef _WIN32
    std::error_code error;
    const std::size_t length = std::filesystem::absolute(path, error).native().size();
    const bool refusedAsMissing = failure == std::errc::no_such_file_or_directory
        || failure == std::errc::filename_too_long || failure == std::errc::invalid_argument;
    if (!error && length > LongestClassicPath && refusedAsMissing)
        return "path too long: " + std::to_string(length) + " characters, more than the "
            + std::to_string(LongestClassicPath) + " Windows takes unless long paths are enabled";
#endif
    return failure.message();
}

#ifdef _WIN32

namespace {

// CreateDirectory's own limit: MAX_PATH less room for a file name of 8.3 characters.
constexpr std::size_t ShortPathLimit = 248;
const std::wstring LongPrefix = LR"(\\?\)";
const std::wstring UncPrefix = LR"(\\)";
const std::wstring LongUncPrefix = LR"(\\?\UNC\)";

std::wstring WithBackslashes(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

}  // namespace

std::filesystem::path UnlimitedPath(const std::filesystem::path& path)
{
    const std::wstring& given = path.native();
    if (given.size() < ShortPathLimit || given.starts_with(LongPrefix))
        return path;
    // The standard library on MinGW does not take \\server\share for a root: it would make it
    // absolute on the current drive, so a network path keeps its own form.
    if (given.starts_with(UncPrefix))
        return LongUncPrefix + WithBackslashes(given.substr(UncPrefix.size()));
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return path;
    return LongPrefix + WithBackslashes(absolute.lexically_normal().native());
}

std::vector<std::filesystem::path> RegularFilesIn(const std::filesystem::path& folder, std::error_code& error)
{
    std::vector<std::filesystem::path> files;
    WIN32_FIND_DATAW found{};
    const std::filesystem::path searched = UnlimitedPath(folder);
    const std::filesystem::path pattern = searched / L"*";
    HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD failure = ::GetLastError();
        // Only a root folder can be without even "." and "..": empty, not unreadable.
        if (failure != ERROR_FILE_NOT_FOUND)
            error = std::error_code(static_cast<int>(failure), std::system_category());
        return files;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(searched / found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return files;
}

#else

std::filesystem::path UnlimitedPath(const std::filesystem::path& path)
{
    return path;
}

std::vector<std::filesystem::path> RegularFilesIn(const std::filesystem::path& folder, std::error_code& error)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code ignored;
        if (entry.is_regular_file(ignored))
            files.push_back(entry.path());
    }
    return files;
}

#endif

}  // namespace kalvo
