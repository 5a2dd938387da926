#include "core/FileReplace.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>

#include "core/LongPaths.h"
#include "core/RegularFile.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string_view>
#endif

namespace kalvo {
#ifdef _WIN32

namespace {

// A file marked read-only is not replaced: Windows refuses to move a file over it, but Wine does
// not, so the mark is looked at first, as the file's write bits are elsewhere.
bool IsReadOnly(const std::filesystem::path& file)
{
    const DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

// Writes content to a new file beside target, flushes it to the disk and moves it over target.
bool ReplaceFileContent(const std::string& target, const std::string& content, std::error_code* reason)
{
    const auto fail = [reason] {
        if (reason)
            *reason = std::error_code(static_cast<int>(GetLastError()), std::system_category());
        return false;
    };
    // The long form, so that a file deep in a tree is written whatever the system's path limit.
    const std::filesystem::path targetName = UnlimitedPath(FilePath(target));
    if (IsReadOnly(targetName)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return fail();
    }
    const std::filesystem::path temporary = UnlimitedPath(FilePath(target + ".new"));
    const HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail();
    DWORD written = 0;
    bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr)
        && written == content.size() && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExW(temporary.c_str(), targetName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        SetLastError(error);
        return fail();
    }
    return true;
}

#else

namespace {

// A new, empty file beside target with a name nobody uses; -1 when the folder refuses it.
int CreateTemporaryBeside(const std::string& target, std::string& temporary)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + ".new" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The replacement keeps the old file's permission bits and, where allowed, its owner.
bool TakeOverAttributes(int fd, const struct stat& old)
{
    // Only a privileged process may give a file away; without that the file is this user's.
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM)
        return false;
    return fchmod(fd, old.st_mode & 07777) == 0;
}

void SyncFolderOf(const std::string& target)
{
    const auto folder = std::filesystem::path(target).parent_path();
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

// Writes content to a new file beside target, flushes it to the disk and renames it over
// target, so a crash or a full disk leaves either the old file or the new one, never a part.
bool ReplaceFileContent(const std::string& target, const std::string& content, std::error_code* reason)
{
    const auto fail = [reason](int error) {
        if (reason)
            *reason = std::error_code(error, std::generic_category());
        return false;
    };
    struct stat old { };
    const bool replacing = stat(target.c_str(), &old) == 0;
    // The rename needs only the folder's permission: a file the user made read-only would be
    // replaced without a word, which Windows refuses as well. The file's own write bits decide,
    // since access() grants the superuser everything.
    constexpr mode_t AnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
    if (replacing && ((old.st_mode & AnyWriteBit) == 0 || access(target.c_str(), W_OK) != 0))
        return fail(EACCES);
    std::string temporary;
    const int fd = CreateTemporaryBeside(target, temporary);
    if (fd < 0)
        return fail(errno);
    bool ok = WriteAll(fd, content) && (!replacing || TakeOverAttributes(fd, old)) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        unlink(temporary.c_str());
        return fail(error);
    }
    SyncFolderOf(target);
    return true;
}

#endif

}  // namespace kalvo
