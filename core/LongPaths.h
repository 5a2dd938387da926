#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kalvo {

// Windows' file functions stop at 260 characters (MAX_PATH) unless the path carries the \\?\ prefix
// or the system allows long paths; the prefix also stops them from cleaning the path up, so such a
// path must be absolute, normal and in backslashes. On Windows this gives a path that long as that
// form (\\?\C:\..., \\?\UNC\server\share\...); any other path, and every path elsewhere, as it is.
std::filesystem::path UnlimitedPath(const std::filesystem::path& path);

// The regular files in a folder (not its subfolders), whatever the folder's length. On Windows the C
// runtime's folder reader under std::filesystem::directory_iterator builds the folder's full path in
// a buffer of MAX_PATH characters and, when it does not fit, lists the current folder instead; the
// system's own search has no such limit, and names the files in the form UnlimitedPath gives, so
// that they open at any length too. Sets error when the folder cannot be read.
std::vector<std::filesystem::path> RegularFilesIn(const std::filesystem::path& folder, std::error_code& error);

// What to tell of a failure to use a path: the system's own message, or where the path's length
// is the cause, that it is too long ("No such file or directory" would hide the cause): a name in
// it longer than file systems take (255 characters), or on Windows a whole path beyond MAX_PATH
// where the system does not take long paths (it then fails as if the folder were not there).
std::string PathFailureText(const std::filesystem::path& path, std::error_code failure);

}  // namespace kalvo
