#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/Language.h"
#include "record/Recorder.h"
#include "window/MainView.h"
#include "window/TrendModel.h"

namespace kalvo {

// The trend of the main window's own polls, kept from start-up on so that the trend window shows
// the minutes before it was opened. Each poll is decoded and judged as the recorder does it, so a
// poll the recorder takes for noise is a gap here too.
class WindowTrend {
public:
    // The language must be loaded and outlive the trend; its file's folder may hold the recorder's
    // words in the same language, as for a recording.
    WindowTrend(const LanguageLines& language, const std::string& languageFile);
    ~WindowTrend();

    // One finished poll of the window.
    void AddFinishedPoll(const Poll& poll, record::LocalTime pollStart);

    TrendModel& Model() { return model_; }
    const TrendModel& Model() const { return model_; }
    // Called after each poll the model took, while a trend window shows it.
    std::function<void()> onChange;

private:
    TrendModel model_;
    record::Recorder judge_;
};

// Where the trend window stands on the desktop, in the face's pixels.
struct TrendPlacement {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TrendPlacement&) const = default;
};

// What the trend window's behaviour asks of its face.
class TrendView {
public:
    virtual ~TrendView() = default;

    // Paints again what TTrendFrm::Picture now says.
    virtual void RepaintTrend() = 0;
    // The save-file question for the picture: the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> AskPictureFileName(const SaveFileQuestion& question) = 0;
    // Writes the window's picture as a PNG file; throws KalvoError when it cannot.
    virtual void SaveTrendPicture(const std::string& fileName) = 0;
    // Replaces the clipboard's content with the text, UTF-8, as plain text.
    virtual void SetClipboardUtf8Text(const std::string& text) = 0;
    virtual void ShowErrorBox(const std::string& title, const std::string& text) = 0;
};

// The trend window's behaviour: its span, the pointer's read-out, the picture and the values it
// hands out, and its place and span kept in section "Trend" of the settings file.
class TTrendFrm {
public:
    TTrendFrm(TrendView& view, WindowTrend& trend, std::string settingsFile);
    ~TTrendFrm();

    // The place to open at: the one kept, or the face's proposal (beside the main window) when
    // none is. Also takes the kept span and starts following the polls.
    TrendPlacement FormCreate(const TrendPlacement& proposal);
    // Keeps the place and the span; an unwritable settings file shows in the error box.
    void FormClose(const TrendPlacement& placement);

    void SpanClick(int minutes);
    void SavePicture1Click();
    void CopyValues1Click();
    // The pointer over the client area, or nothing when it left.
    void PointerMoved(std::optional<int> x);

    int Span() const { return trend_.Model().Span(); }
    TrendPicture Picture(int width, int height, double scale) const;

private:
    void RunHandler(const std::function<void()>& body);

    TrendView& view_;
    WindowTrend& trend_;
    std::string settingsFile_;
    std::optional<int> pointerX_;
    std::optional<std::string> previousPicture_;
};

}  // namespace kalvo
