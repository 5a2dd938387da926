#include "window/uTrendFrm.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <utility>

#include "core/RegularFile.h"
#include "core/Settings.h"
#include "window/Captions.h"
#include "core/KalvoError.h"

namespace kalvo {

namespace {

constexpr char TrendSection[] = "Trend";
constexpr char LeftKey[] = "Left", TopKey[] = "Top", WidthKey[] = "Width", HeightKey[] = "Height",
               SpanKey[] = "Span";
// A place kept smaller than this is taken for damage: the window would be hard to find.
constexpr int SmallestSide = 100;

// Hands each judged poll to the model.
class ModelSink : public record::PollSink {
public:
    explicit ModelSink(TrendModel& model) : model_(model) {}
    void OnPoll(const record::PollInput&, const record::DecodedPoll& poll) override { model_.Add(poll); }
    void OnEvent(const record::RecordEvent&) override {}

private:
    TrendModel& model_;
};

}  // namespace

namespace {

// The recording's language; a words file that cannot be read leaves the trend in English rather
// than keep the window from starting.
record::RecordLanguage TrendLanguage(const LanguageLines& language, const std::string& languageFile)
{
    const std::filesystem::path path = FilePath(languageFile);
    try {
        return record::LoadRecordLanguage(path, language, path.parent_path() / "lang");
    } catch (const KalvoError&) {
        return record::RecordLanguage(language);
    }
}

}  // namespace

WindowTrend::WindowTrend(const LanguageLines& language, const std::string& languageFile)
    : model_(TrendLanguage(language, languageFile)),
      judge_(language)
{
    judge_.AddSink(std::make_unique<ModelSink>(model_));
}

WindowTrend::~WindowTrend() = default;

void WindowTrend::AddFinishedPoll(const Poll& poll, record::LocalTime pollStart)
{
    judge_.RecordPoll(poll, pollStart);
    if (onChange)
        onChange();
}

TTrendFrm::TTrendFrm(TrendView& view, WindowTrend& trend, std::string settingsFile)
    : view_(view),
      trend_(trend),
      settingsFile_(std::move(settingsFile))
{
}

TTrendFrm::~TTrendFrm()
{
    trend_.onChange = nullptr;
}

TrendPlacement TTrendFrm::FormCreate(const TrendPlacement& proposal)
{
    trend_.Model().SetSpan(ReadIniInteger(settingsFile_, TrendSection, SpanKey, DefaultTrendSpan));
    trend_.onChange = [this] { view_.RepaintTrend(); };
    const TrendPlacement kept{ReadIniInteger(settingsFile_, TrendSection, LeftKey, proposal.left),
        ReadIniInteger(settingsFile_, TrendSection, TopKey, proposal.top),
        ReadIniInteger(settingsFile_, TrendSection, WidthKey, proposal.width),
        ReadIniInteger(settingsFile_, TrendSection, HeightKey, proposal.height)};
    return kept.width >= SmallestSide && kept.height >= SmallestSide ? kept : proposal;
}

void TTrendFrm::FormClose(const TrendPlacement& placement)
{
    trend_.onChange = nullptr;
    RunHandler([&] {
        WriteIniInteger(settingsFile_, TrendSection, LeftKey, placement.left);
        WriteIniInteger(settingsFile_, TrendSection, TopKey, placement.top);
        WriteIniInteger(settingsFile_, TrendSection, WidthKey, placement.width);
        WriteIniInteger(settingsFile_, TrendSection, HeightKey, placement.height);
        WriteIniInteger(settingsFile_, TrendSection, SpanKey, trend_.Model().Span());
    });
}

void TTrendFrm::SpanClick(int minutes)
{
    trend_.Model().SetSpan(minutes);
    view_.RepaintTrend();
}

void TTrendFrm::SavePicture1Click()
{
    RunHandler([this] {
        const std::optional<std::string> fileName =
            view_.AskPictureFileName({"PNG picture (*.png)|*.png", "png", previousPicture_.value_or(std::string())});
        if (!fileName || fileName->empty())
            return;
        previousPicture_ = fileName;
        view_.SaveTrendPicture(*fileName);
    });
}

void TTrendFrm::CopyValues1Click()
{
    RunHandler([this] { view_.SetClipboardUtf8Text(trend_.Model().ShownValuesCsv()); });
}

void TTrendFrm::PointerMoved(std::optional<int> x)
{
    if (x == pointerX_)
        return;
    pointerX_ = x;
    view_.RepaintTrend();
}

TrendPicture TTrendFrm::Picture(int width, int height, double scale) const
{
    return trend_.Model().Picture(width, height, scale, pointerX_);
}

void TTrendFrm::RunHandler(const std::function<void()>& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        view_.ShowErrorBox(ApplicationTitle, ErrorBoxText(error.what()));
    }
}

}  // namespace kalvo
