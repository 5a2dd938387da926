#include "core/RegularFile.h"

#include <cerrno>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kalvo {

std::filesystem::path FilePath(std::string_view name)
{
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string FileNameText(const std::filesystem::path& path)
{
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

#ifdef _WIN32

// Opening a file on Windows does not wait for a writer; what is not a regular file (a folder,
// a device name such as NUL or CON) is refused after the open.
OpenedFile OpenRegularFile(const std::string& path)
{
    const std::filesystem::path name = FilePath(path);
    FileHandle file(::_wfopen(name.c_str(), L"rb"));
    if (!file)
        return {nullptr, errno};
    std::error_code ignored;
    const auto status = std::filesystem::status(name, ignored);
    if (status.type() != std::filesystem::file_type::regular)
        return {nullptr, status.type() == std::filesystem::file_type::directory ? EISDIR : EACCES};
    return {std::move(file), 0};
}

#else

OpenedFile OpenRegularFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {nullptr, errno};
    // Judged on the open descriptor, so the file cannot be swapped after the check.
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno;
    else if (!S_ISREG(info.st_mode))
        error = S_ISDIR(info.st_mode) ? EISDIR : EACCES;
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        error = errno;
    std::FILE* file = error == 0 ? ::fdopen(fd, "rb") : nullptr;
    if (!file) {
        error = error != 0 ? error : errno;
        ::close(fd);
        return {nullptr, error};
    }
    return {FileHandle(file), 0};
}

#endif

}  // namespace kalvo
