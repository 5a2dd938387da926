#include "window/ReportExport.h"

#include <filesystem>
#include <utility>

#include "core/FileReplace.h"
#include "core/KalvoError.h"
#include "core/RegularFile.h"

namespace kalvo {

namespace {

constexpr char SaveFilter[] = "Text (*.txt)|*.txt";
constexpr char SaveDefaultExtension[] = "txt";

}  // namespace

std::vector<std::string> GatherExportText(MainView& view)
{
    std::vector<std::string> gathered;
    for (int memo = 1; memo <= ExportedMemoCount; ++memo) {
        for (std::string& line : view.MemoLines(memo))
            gathered.push_back(std::move(line));
        gathered.emplace_back();
    }
    view.SetMemoLines(ScratchMemo, gathered);
    return gathered;
}

std::string ExportText(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

SaveFileQuestion ExportSaveQuestion(const std::optional<std::string>& previousChoice)
{
    return {SaveFilter, SaveDefaultExtension, previousChoice.value_or(std::string())};
}

// The text goes into a new file beside the target that takes the name only once it is written,
// flushed and synced, so any failure (a full disk among them) leaves an earlier file whole and no
// new file; the user is told by the file's name that it was not created, whichever step failed.
void SaveExportText(const std::string& fileName, const std::string& exportText)
{
    // Only a plain file is replaced: a device or pipe of that name would otherwise be swapped for a
    // regular file, and a folder cannot take the text at all.
    std::error_code error;
    const auto status = std::filesystem::status(FilePath(fileName), error);
    const bool plainOrAbsent = !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
    if (!plainOrAbsent || !ReplaceFileContent(fileName, exportText))
        throw KalvoError("Cannot create file " + fileName);
}

}  // namespace kalvo
