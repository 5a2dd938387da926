#include "record/DayFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "core/LongPaths.h"
#include "record/PollRecord.h"

namespace kalvo::record {

namespace {

#ifdef _WIN32
int OpenForAppend(const std::filesystem::path& path)
{
    return ::_wopen(UnlimitedPath(path).c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long long WriteSome(int fd, const char* data, std::size_t count)
{
    return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(count, 1u << 30)));
}
int SyncFile(int fd) { return ::_commit(fd); }
void SyncFolder(const std::filesystem::path&) {}  // NTFS keeps a file's name with its data
int CutBack(int fd, std::uint64_t size) { return ::_chsize_s(fd, static_cast<long long>(size)); }
int CloseFile(int fd) { return ::_close(fd); }
long long FileSize(int fd) { return ::_lseeki64(fd, 0, SEEK_END); }
#else
int OpenForAppend(const std::filesystem::path& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}
long long WriteSome(int fd, const char* data, std::size_t count) { return ::write(fd, data, count); }
int SyncFile(int fd) { return ::fdatasync(fd); }
void SyncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
int CutBack(int fd, std::uint64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)); }
int CloseFile(int fd) { return ::close(fd); }
long long FileSize(int fd) { return ::lseek(fd, 0, SEEK_END); }
#endif

std::atomic<std::uint64_t> dataSyncs{0};

int CountedSync(int fd)
{
    ++dataSyncs;
    return SyncFile(fd);
}

[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& path, int error)
{
    throw RecordError(
        what + " " + PathText(path) + ": " + PathFailureText(path, std::error_code(error, std::generic_category())));
}

std::string DayFileName(const std::string& prefix, const std::string& date, int number, const std::string& extension)
{
    return prefix + "-" + date + (number > 1 ? "-" + std::to_string(number) : "") + extension;
}

}  // namespace

std::uint64_t DataSyncCount()
{
    return dataSyncs;
}

#ifdef _WIN32
bool IsStillNamed(int, const std::filesystem::path&)
{
    return true;  // Windows removes no open file, nor the folder of one
}
#else
bool IsStillNamed(int fd, const std::filesystem::path& path)
{
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && open.st_nlink > 0 && ::stat(path.c_str(), &named) == 0
        && open.st_ino == named.st_ino && open.st_dev == named.st_dev;
}
#endif

std::string PathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

AppendOnlyFile::AppendOnlyFile(const std::filesystem::path& path, Durability durability)
    : path_(path), durability_(durability)
{
    fd_ = OpenForAppend(path);
    if (fd_ < 0)
        Fail("Cannot open", path, errno);
    const long long size = FileSize(fd_);
    size_ = size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

AppendOnlyFile::~AppendOnlyFile()
{
    if (fd_ < 0)
        return;
    if (unsynced_)
        CountedSync(fd_);  // a failure here has nobody left to tell; the bytes stay with the system
    CloseFile(fd_);
}

void AppendOnlyFile::Append(std::string_view bytes, std::int64_t atMs)
{
    const bool durable = durability_ != Durability::None;
    if (durable && !IsStillNamed(fd_, path_))
        throw RecordError(
            "Cannot write to " + PathText(path_) + ": the file was removed, or moved away with its folder");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long long count = WriteSome(fd_, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            const int error = count < 0 ? errno : ENOSPC;
            // Leaves no half row behind: the file ends where the last whole append ended.
            CutBack(fd_, size_);
            Fail("Cannot write to", path_, error);
        }
        done += static_cast<std::size_t>(count);
    }
    // A clock set back (a board without a battery clock that learns the time late) syncs at once
    // rather than never.
    const bool due = durability_ == Durability::EachAppend
        || (durability_ == Durability::Periodic
            && (!lastSyncMs_ || atMs - *lastSyncMs_ >= PeriodicSyncMs || atMs < *lastSyncMs_));
    if (due && CountedSync(fd_) != 0) {
        const int error = errno;
        CutBack(fd_, size_);
        Fail("Cannot write to", path_, error);
    }
    if (due)
        lastSyncMs_ = atMs;
    unsynced_ = durable && !due;
    size_ += bytes.size();
}

void AppendOnlyFile::CutTo(std::uint64_t size)
{
    if (size >= size_)
        return;
    if (CutBack(fd_, size) != 0)
        Fail("Cannot write to", path_, errno);
    size_ = size;
}

DayFiles::DayFiles(std::filesystem::path folder, std::string prefix, std::string extension, std::string header,
                   ContinueCheck mayContinue, Durability durability)
    : folder_(std::move(folder)),
      prefix_(std::move(prefix)),
      extension_(std::move(extension)),
      header_(std::move(header)),
      mayContinue_(std::move(mayContinue)),
      durability_(durability)
{
}

bool DayFiles::Append(LocalTime time, std::string_view bytes)
{
    const std::string date = DateText(time);
    const bool opened = !file_ || date != date_;
    if (opened)
        Open(date, time.utcMs);
    file_->Append(bytes, time.utcMs);
    return opened;
}

void DayFiles::Resume(LocalTime time)
{
    const std::string date = DateText(time);
    std::error_code error;
    if (!file_ && std::filesystem::exists(folder_ / DayFileName(prefix_, date, 1, extension_), error))
        Open(date, time.utcMs);
}

void DayFiles::Open(const std::string& date, std::int64_t atMs)
{
    file_.reset();
    for (int number = 1;; ++number) {
        const std::filesystem::path path = folder_ / DayFileName(prefix_, date, number, extension_);
        std::error_code error;
        // An empty file holds nothing to keep (a header write that a full disk refused leaves one),
        // nor does one whose header a power cut left half written: the header is written again.
        const bool holdsBytes = std::filesystem::exists(path, error) && std::filesystem::file_size(path, error) > 0;
        const bool headerOnlyBegun = holdsBytes && std::filesystem::file_size(path, error) < header_.size()
            && header_.starts_with(ReadFileHead(path, header_.size()));
        const std::optional<std::uint64_t> whole
            = holdsBytes && !headerOnlyBegun ? mayContinue_(path) : std::optional<std::uint64_t>(0);
        if (!whole)
            continue;
        file_.emplace(path, durability_);
        file_->CutTo(*whole);
        if (file_->Size() == 0) {
            file_->Append(header_, atMs);
            // The new file's name reaches the disk with it, not only its bytes.
            if (durability_ != Durability::None)
                SyncFolder(folder_);
        }
        date_ = date;
        return;
    }
}

void PrepareFolder(const std::filesystem::path& folder)
{
    const auto refuse = [&folder](const std::string& reason) {
        throw RecordError("Cannot record into " + PathText(folder) + ": " + reason);
    };
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder))
        refuse(error ? PathFailureText(folder, error) : std::string("it is not a folder"));
    // A probe file tells whether files can be made there before the first poll needs one.
    const std::filesystem::path probe = folder / ".kalvo-record-probe";
    const int fd = OpenForAppend(probe);
    if (fd < 0)
        refuse(PathFailureText(probe, std::error_code(errno, std::generic_category())));
    CloseFile(fd);
    std::filesystem::remove(probe, error);
}

namespace {

std::ifstream OpenToRead(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw RecordError("Cannot read " + PathText(path));
    return in;
}

}  // namespace

std::string ReadFileHead(const std::filesystem::path& path, std::size_t count)
{
    std::ifstream in = OpenToRead(path);
    std::string head(count, '\0');
    in.read(head.data(), static_cast<std::streamsize>(count));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

std::uint64_t LengthToLastLineEnd(const std::filesystem::path& path)
{
    constexpr std::streamoff Block = 4096;
    std::ifstream in = OpenToRead(path);
    in.seekg(0, std::ios::end);
    std::streamoff end = in.tellg();
    std::string block;
    while (end > 0) {
        const std::streamoff start = std::max<std::streamoff>(end - Block, 0);
        block.resize(static_cast<std::size_t>(end - start));
        in.seekg(start);
        if (!in.read(block.data(), static_cast<std::streamsize>(block.size())))
            throw RecordError("Cannot read " + PathText(path));
        if (const auto lineEnd = block.rfind('\n'); lineEnd != std::string::npos)
            return static_cast<std::uint64_t>(start) + lineEnd + 1;
        end = start;
    }
    return 0;
}

}  // namespace kalvo::record
