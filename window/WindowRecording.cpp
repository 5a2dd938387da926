#include "window/WindowRecording.h"

#include <filesystem>
#include <utility>

#include "core/RegularFile.h"
#include "record/FolderRecorder.h"

namespace kalvo {

namespace {

constexpr char RecordFolderTitle[] = "Record readings";

}  // namespace

WindowRecording::WindowRecording() = default;
WindowRecording::~WindowRecording() = default;

void WindowRecording::Start(
    SystemServices& system, const LanguageLines& language, const std::string& languageFile, const std::string& holder)
{
    const std::optional<std::string> folder = system.AskFolder(RecordFolderTitle, previousFolder_);
    if (!folder || folder->empty())
        return;
    previousFolder_ = *folder;
    const std::filesystem::path languagePath = FilePath(languageFile);
    language_.emplace(record::LoadRecordLanguage(languagePath, language, languagePath.parent_path() / "lang"));
    recording_ = std::make_unique<record::FolderRecorder>(FilePath(*folder), *language_, holder);
}

std::optional<std::string> WindowRecording::RecordFinishedPoll(const Poll& poll, record::LocalTime pollStart)
{
    if (!recording_)
        return std::nullopt;
    try {
        recording_->RecordPoll(poll, pollStart);
    } catch (const record::RecordError& error) {
        recording_.reset();
        return error.what();
    }
    return std::nullopt;
}

std::unique_ptr<record::FolderRecorder> WindowRecording::Stop()
{
    return std::move(recording_);
}

}  // namespace kalvo
