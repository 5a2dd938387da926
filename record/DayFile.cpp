#include "record/DayFile.h"

#include <fcntl.h>
#include <sys/stat.h>

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
int CutBack(int fd, std::uint64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)); }
int CloseFile(int fd) { return ::close(fd); }
long long FileSize(int fd) { return ::lseek(fd, 0, SEEK_END); }
#endif

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

AppendOnlyFile::AppendOnlyFile(const std::filesystem::path& path, bool syncEachAppend)
    : path_(path), sync_(syncEachAppend)
{
    fd_ = OpenForAppend(path);
    if (fd_ < 0)
        Fail("Cannot open", path, errno);
    const long long size = FileSize(fd_);
    size_ = size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

AppendOnlyFile::~AppendOnlyFile()
{
    if (fd_ >= 0)
        CloseFile(fd_);
}

void AppendOnlyFile::Append(std::string_view bytes)
{
    if (sync_ && !IsStillNamed(fd_, path_))
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
    if (sync_ && SyncFile(fd_) != 0) {
        const int error = errno;
        CutBack(fd_, size_);
        Fail("Cannot write to", path_, error);
    }
    size_ += bytes.size();
}

DayFiles::DayFiles(std::filesystem::path folder, std::string prefix, std::string extension, std::string header,
                   ContinueCheck mayContinue, bool syncEachAppend)
    : folder_(std::move(folder)),
      prefix_(std::move(prefix)),
      extension_(std::move(extension)),
      header_(std::move(header)),
      mayContinue_(std::move(mayContinue)),
      sync_(syncEachAppend)
{
}

bool DayFiles::Append(const std::string& date, std::string_view bytes)
{
    const bool opened = !file_ || date != date_;
    if (opened)
        Open(date);
    file_->Append(bytes);
    return opened;
}

void DayFiles::Open(const std::string& date)
{
    file_.reset();
    for (int number = 1;; ++number) {
        const std::filesystem::path path = folder_ / DayFileName(prefix_, date, number, extension_);
        std::error_code error;
        // An empty file holds nothing to keep (a header write that a full disk refused leaves one).
        if (std::filesystem::exists(path, error) && std::filesystem::file_size(path, error) > 0 && !mayContinue_(path))
            continue;
        file_.emplace(path, sync_);
        if (file_->Size() == 0)
            file_->Append(header_);
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

char LastByte(const std::filesystem::path& path)
{
    std::ifstream in = OpenToRead(path);
    char last = 0;
    if (in.seekg(-1, std::ios::end))
        in.get(last);
    return last;
}

}  // namespace kalvo::record
