#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/Language.h"
#include "record/PollRecord.h"
#include "record/RecordLanguage.h"
#include "window/MainView.h"

namespace kalvo::record {
class FolderRecorder;
}

namespace kalvo {

// Recording the window's polls into a folder while "Record readings..." is checked. The
// recording takes the polls of the window's own port: no second program opens it.
class WindowRecording {
public:
    WindowRecording();
    ~WindowRecording();

    bool Active() const { return recording_ != nullptr; }

    // Asks for the folder, offering the one chosen before, and starts recording into it; nothing
    // happens when the user cancels. holder names this window to a second recorder of the folder.
    // The recording speaks the language of the language file, read from languageFile, with the
    // recorder's words beside it or in the program's lang folder. Throws RecordError for a folder
    // that takes no files or that another recorder holds, KalvoError for a words file that cannot
    // be read.
    void Start(SystemServices& system, const LanguageLines& language, const std::string& languageFile,
        const std::string& holder);
    // Records a poll that ran to its end. A recording that cannot go on (a full disk) stops; the
    // result is then why.
    std::optional<std::string> RecordFinishedPoll(const Poll& poll, record::LocalTime pollStart);
    // Stops the recording and hands it over to be finished, so no later poll reaches its files
    // even when finishing fails.
    std::unique_ptr<record::FolderRecorder> Stop();

private:
    std::optional<record::RecordLanguage> language_;  // outlives the recording, which reads it
    std::unique_ptr<record::FolderRecorder> recording_;
    std::string previousFolder_;
};

}  // namespace kalvo
