#include "core/Language.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "core/KalvoError.h"
#include "core/RegularFile.h"

namespace kalvo {
namespace {

// The byte after which a text file has no more content.
constexpr int EndOfContent = 0x1A;

bool FolderOfExists(const std::string& fileName)
{
    const std::filesystem::path folder = FilePath(fileName).parent_path();
    std::error_code ignored;
    return folder.empty() || std::filesystem::is_directory(folder, ignored);
}

// The platform's text for a failed open or read of fileName, by the system's error number.
std::string FileErrorMessage(int error, const std::string& fileName)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return FolderOfExists(fileName) ? "File not found" : "Invalid filename";
    case EMFILE:
    case ENFILE:
        return "Too many open files";
    case EACCES:
    case EPERM:
    case EISDIR:
        return "File access denied";
    default:
        return "I/O error " + std::to_string(error);
    }
}

FileHandle OpenForReading(const std::string& fileName)
{
    OpenedFile opened = OpenRegularFile(fileName);
    if (!opened.file)
        throw KalvoError(FileErrorMessage(opened.error, fileName));
    return std::move(opened.file);
}

// The open language file, byte by byte, up to MaxLanguageBytes: what lies beyond reads as the end
// of the file. A failing read leaves as a KalvoError.
class LanguageFile {
public:
    LanguageFile(std::FILE* file, const std::string& fileName) : file_(file), fileName_(fileName) {}

    // The next byte, or EOF at the end of the file or of the bytes that are read.
    int Next()
    {
        if (consumed_ == MaxLanguageBytes)
            return EOF;
        const int byte = std::getc(file_);
        if (byte == EOF && std::ferror(file_))
            throw KalvoError(FileErrorMessage(errno, fileName_));
        if (byte != EOF)
            ++consumed_;
        return byte;
    }
    // Gives back the byte that Next returned last, so the next read sees it again.
    void PutBack(int byte)
    {
        if (byte != EOF) {
            std::ungetc(byte, file_);
            --consumed_;
        }
    }

private:
    std::FILE* file_;
    const std::string& fileName_;
    std::size_t consumed_ = 0;
};

// Reads the rest of the current line into text and moves past its line end. At the end of the
// file or at the end-of-content byte, text is empty and nothing is consumed.
void ReadLanguageLine(LanguageFile& file, std::string& text)
{
    text.clear();
    int byte;
    while ((byte = file.Next()) != EOF && byte != '\r' && byte != EndOfContent)
        text.push_back(static_cast<char>(byte));
    if (byte == EndOfContent) {
        file.PutBack(byte);  // stays unread, so every later line ends here too
    } else if (byte == '\r') {
        const int after = file.Next();
        if (after != '\n')
            file.PutBack(after);
    }
}

}  // namespace

void LoadLanguage(const std::string& fileName, LanguageLines& table)
{
    LoadLanguageLines(fileName, table.lines);
}

void LoadLanguageLines(const std::string& fileName, std::span<std::string> lines)
{
    for (std::string& line : lines)
        line.clear();
    const FileHandle handle = OpenForReading(fileName);
    LanguageFile file(handle.get(), fileName);
    // A fixed number of reads: a short file just leaves the remaining lines empty.
    std::string text;
    for (std::string& line : lines) {
        ReadLanguageLine(file, text);
        line = text;
    }
}

}  // namespace kalvo
