#pragma once

#include <filesystem>
#include <string>

namespace kalvo::record {

// A recording folder held by one recorder at a time: an exclusive lock on ".kalvo-record.lock" in
// the folder (flock on POSIX, LockFileEx on Windows), held while the object lives. The file names
// the holder, so a recorder that is refused can say who records there. Two recorders appending to
// the same day files would interleave their rows and make the raw file's changes apply to the
// other unit's polls.
class FolderLock {
public:
    static constexpr const char* FileName = ".kalvo-record.lock";

    // holder: who records, such as "COM7, process 1234". Throws RecordError naming the folder and
    // the holder written by the recorder that has it.
    FolderLock(const std::filesystem::path& folder, const std::string& holder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
#ifdef _WIN32
    void* handle_;
#else
    int fd_;
#endif
    std::filesystem::path path_;
};

// "COM7, process 1234": the holder text of this process recording the port.
std::string RecorderHolder(int portNumber);
// "decoding night, process 1234": the holder text of this process doing something else.
std::string ProcessHolder(const std::string& doing);

}  // namespace kalvo::record
