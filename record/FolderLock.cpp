#include "record/FolderLock.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "core/LongPaths.h"
#include "record/DayFile.h"
#include "record/PollRecord.h"

namespace kalvo::record {

namespace {

// What the holder wrote, for the message of the one refused; empty while it has not yet.
std::string HolderIn(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string holder;
    std::getline(in, holder);
    return holder;
}

[[noreturn]] void Refuse(const std::filesystem::path& folder, const std::filesystem::path& path)
{
    const std::string holder = HolderIn(path);
    throw RecordError("Cannot record into " + PathText(folder) + ": another recorder records into it ("
        + (holder.empty() ? std::string("its port unknown") : holder) + ")");
}

[[noreturn]] void Fail(const std::filesystem::path& folder, const std::string& reason)
{
    throw RecordError("Cannot record into " + PathText(folder) + ": " + reason);
}

}  // namespace

std::string ProcessHolder(const std::string& doing)
{
#ifdef _WIN32
    const long process = ::_getpid();
#else
    const long process = ::getpid();
#endif
    return doing + ", process " + std::to_string(process);
}

std::string RecorderHolder(int portNumber)
{
    return ProcessHolder(portNumber > 0 ? "COM" + std::to_string(portNumber) : std::string("no port"));
}

#ifdef _WIN32

// The lock covers one byte far beyond the holder's text, so others can still read the text.
constexpr DWORD LockOffsetHigh = 0x7FFFFFFF;

namespace {

// True while the path names the file of this handle. The holder before removes the file as it
// ends; a lock on a file no longer in the folder guards nothing, however Windows reports the removal.
bool NamesThisFile(const std::filesystem::path& path, HANDLE handle)
{
    HANDLE named = ::CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (named == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION mine{}, found{};
    const bool same = ::GetFileInformationByHandle(handle, &mine) && ::GetFileInformationByHandle(named, &found)
        && mine.dwVolumeSerialNumber == found.dwVolumeSerialNumber && mine.nFileIndexHigh == found.nFileIndexHigh
        && mine.nFileIndexLow == found.nFileIndexLow;
    ::CloseHandle(named);
    return same;
}

// A file being removed refuses to be opened until its last handle closes, a moment at most.
constexpr int OpenAttemptsWhileRemoved = 40;
constexpr DWORD PauseWhileRemovedMs = 50;

}  // namespace

// The lock file in the long form, so that it is made in a folder of any length.
FolderLock::FolderLock(const std::filesystem::path& folder, const std::string& holder)
    : path_(UnlimitedPath(folder / FileName))
{
    for (;;) {
        for (int attempt = 1;; ++attempt) {
            handle_ = ::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN,
                nullptr);
            if (handle_ != INVALID_HANDLE_VALUE)
                break;
            const DWORD error = ::GetLastError();
            if (error != ERROR_ACCESS_DENIED || attempt == OpenAttemptsWhileRemoved)
                Fail(folder, std::system_category().message(static_cast<int>(error)));
            ::Sleep(PauseWhileRemovedMs);
        }
        OVERLAPPED place{};
        place.OffsetHigh = LockOffsetHigh;
        if (!::LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place)) {
            ::CloseHandle(handle_);
            Refuse(folder, path_);
        }
        if (NamesThisFile(path_, handle_))
            break;
        ::CloseHandle(handle_);
    }
    const std::string text = holder + "\n";
    DWORD written = 0;
    ::SetEndOfFile(handle_);
    ::WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

FolderLock::~FolderLock()
{
    // Removed while still locked, so no one locks a file that is about to go; one that opened it
    // just before sees it on its way out. Only while the path still names it: another recorder's
    // of the same name is left alone. (Removing through the handle would need delete access, which
    // keeps the refused ones from reading who holds the folder.)
    if (NamesThisFile(path_, handle_))
        ::DeleteFileW(path_.c_str());
    ::CloseHandle(handle_);
}

#else

FolderLock::FolderLock(const std::filesystem::path& folder, const std::string& holder) : path_(folder / FileName)
{
    for (;;) {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0)
            Fail(folder, std::strerror(errno));
        // A file system without locks (some network shares) is recorded into unguarded rather than
        // not at all.
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(fd_);
            Refuse(folder, path_);
        }
        // The holder before may have removed the file between our open and lock: then this lock
        // is on a file no one else finds, and the one in the folder is taken instead.
        if (IsStillNamed(fd_, path_))
            break;
        ::close(fd_);
    }
    const std::string text = holder + "\n";
    if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
        // A folder that cannot take these few bytes (a full disk) cannot take a recording either.
        const int error = errno;
        ::unlink(path_.c_str());
        ::close(fd_);
        Fail(folder, std::strerror(error));
    }
}

FolderLock::~FolderLock()
{
    // Removed while still locked, so no one locks a file that is about to go; but only while the
    // path still names it: a folder moved away may have a new one of its name, whose lock file
    // belongs to another recorder.
    if (IsStillNamed(fd_, path_))
        ::unlink(path_.c_str());
    ::close(fd_);
}

#endif

}  // namespace kalvo::record
