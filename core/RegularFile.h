#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kalvo {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

struct OpenedFile {
    FileHandle file;  // null when the open failed
    int error = 0;    // the system's error number when it failed
};

// File and folder names are UTF-8 inside the program, whatever the system's code page. These turn
// one into the system's own path (UTF-16 on Windows, so that every letter survives) and back.
std::filesystem::path FilePath(std::string_view name);
std::string FileNameText(const std::filesystem::path& path);

// Opens a file for reading in binary mode, only when it is a regular file. The open itself never
// blocks (a FIFO in the file's place would wait for a writer for ever), and a FIFO, a device such
// as /dev/zero, a folder or a socket is refused with EACCES (EISDIR for a folder), the way a file
// that may not be read is refused.
OpenedFile OpenRegularFile(const std::string& path);

}  // namespace kalvo
