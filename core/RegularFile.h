#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace kalvo {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

struct OpenedFile {
    FileHandle file;  // null when the open failed
    int error = 0;    // the system's error number when it failed
};

// Opens a file for reading in binary mode, only when it is a regular file. The open itself never
// blocks (a FIFO in the file's place would wait for a writer for ever), and a FIFO, a device such
// as /dev/zero, a folder or a socket is refused with EACCES (EISDIR for a folder), the way a file
// that may not be read is refused.
OpenedFile OpenRegularFile(const std::string& path);

}  // namespace kalvo
