// Any bytes as MY.LNG. Loading a readable file never fails, no text keeps a carriage return, the
// texts are pieces of the file in file order, and nothing after the end-of-content byte is read.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "core/Language.h"
#include "fuzz/FuzzSupport.h"

namespace {

using kalvo::fuzz::Require;

constexpr char EndOfContent = '\x1A';

kalvo::LanguageLines Load(const std::string& path, const std::string& bytes)
{
    kalvo::fuzz::WriteWholeFile(path, bytes);
    kalvo::LanguageLines table;
    try {
        kalvo::LoadLanguage(path, table);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        Require(false, "a readable language file loads without an error");
    }
    return table;
}

// Each text is found in the content after the one before it.
bool TextsFollowTheFile(const kalvo::LanguageLines& table, const std::string& content)
{
    std::size_t position = 0;
    for (const std::string& text : table.lines) {
        position = content.find(text, position);
        if (position == std::string::npos)
            return false;
        position += text.size();
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kalvo::fuzz::ScratchFolder folder;
    const std::string path = folder.File("MY.LNG");
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const kalvo::LanguageLines table = Load(path, bytes);
    for (const std::string& text : table.lines) {
        Require(text.find('\r') == std::string::npos, "no text holds a carriage return");
        Require(text.find(EndOfContent) == std::string::npos, "no text holds the end-of-content byte");
    }

    const std::size_t end = bytes.find(EndOfContent);
    const std::string content = bytes.substr(0, end);
    Require(TextsFollowTheFile(table, content), "the texts come from the content, in file order");
    if (end != std::string::npos) {
        // Whatever follows the end-of-content byte, or its absence, changes no text.
        Require(Load(path, content).lines == table.lines, "cutting the file at 0x1A changes nothing");
        const std::string otherTail = bytes.substr(0, end + 1) + "tail\r\nafter the end\r";
        Require(Load(path, otherTail).lines == table.lines, "bytes after 0x1A are never read");
    }
    return 0;
}
