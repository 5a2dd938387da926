// TMainFrm's polling: the timer's tick, the read cycle's call-backs and what each poll shows: the
// report, the picture page, the check list and the error records.
#include "window/uMainFrm.h"

#include "core/Readings.h"
#include "core/uGlobal.h"

namespace {

// The component each picture shows, lit while the unit reports it active.
struct ComponentPicture {
    kalvo::ComponentImage image;
    kalvo::StatusFlag flag;
};
// In the order HideComponentImages hides them and RefreshIndicators sets them.
constexpr ComponentPicture ComponentPictures[] = {
    {kalvo::ComponentImage::ImageHeizung, kalvo::HeaterFlag},
    {kalvo::ComponentImage::ImageTrafo, kalvo::IgnitionTransformerFlag},
    {kalvo::ComponentImage::ImageMotor, kalvo::FanMotorFlag},
    {kalvo::ComponentImage::ImageFlamme, kalvo::FlameFlag},
    {kalvo::ComponentImage::ImageVentil1, kalvo::FuelValve1Flag},
    {kalvo::ComponentImage::ImageVentil2, kalvo::FuelValve2Flag},
};

}  // namespace

void TMainFrm::Timer1Timer()
{
    // The port dialog, run inside a waiting poll, switches the timer on again; its ticks must not
    // start a second read cycle on the same port. The running poll restarts the count at its end.
    if (pollRunning_)
        return;
    RunHandler([this] {
        struct RunningPoll {
            bool& running;
            explicit RunningPoll(bool& flag) : running(flag) { running = true; }
            ~RunningPoll() { running = false; }
        } running(pollRunning_);
        view_.StopTimer1();
        PollTick();
        // Restarting the timer here spaces the polls from the end of one to the start of the next.
        view_.StartTimer1(Timer1Interval);
    });
}

void TMainFrm::PollTick()
{
    if (uGlobal::StopRequested)
        return;
    // Timed at its start, as kalvo-record times a poll; the item may be chosen while the cycle waits.
    const kalvo::record::LocalTime pollStart = RecordingClock();
    // The one place where a poll is handed down to what consumes it, as one value decoded once: the
    // recording, the trend, then the window's texts. They run also after a failed cycle, on what
    // the blocks then hold.
    const kalvo::Poll poll = uGlobal::ReadCycle();
    RecordFinishedPoll(poll, pollStart);
    ShowPollInTrend(poll, pollStart);
    uGlobal::DecodeReadings(poll);
    BuildReport(poll.fields);
}

void TMainFrm::ProcessPendingMessages()
{
    view_.ProcessPendingMessages();
}

void TMainFrm::SetPanelText(int panel, const std::string& text)
{
    view_.SetPanelText(panel, text);
}

void TMainFrm::RepaintStatusBar()
{
    view_.RepaintStatusBar();
}

void TMainFrm::ClearReadings()
{
    HideComponentImages();
    for (int memo = 1; memo <= kalvo::ExportedMemoCount; ++memo)
        view_.SetMemoLines(memo, {});
}

void TMainFrm::HideComponentImages()
{
    for (const ComponentPicture& picture : ComponentPictures)
        view_.SetImageVisible(picture.image, false);
}

void TMainFrm::RefreshIndicators()
{
    const kalvo::StatusFlagSet& flags = uGlobal::StatusFlags;
    for (const ComponentPicture& picture : ComponentPictures)
        view_.SetImageVisible(picture.image, flags[picture.flag]);

    // A list left empty by a start-up that stopped early has no marks to set.
    for (int k = 0; k < checkListItems_; ++k)
        view_.SetCheckMark(k, flags[static_cast<std::size_t>(k)]);

    const kalvo::ReadingTextSet& texts = uGlobal::ReadingTexts;
    view_.SetLabelCaption(2, texts.OnOffText);
    view_.SetLabelCaption(3, texts.AlarmFlagText);
    view_.SetLabelCaption(4, texts.MainsVoltageText);
    view_.SetLabelCaption(5, texts.FlameCurrentText);
    view_.SetLabelCaption(6, texts.AlarmCurrentText);
}

void TMainFrm::BuildReport(const kalvo::PollFields& fields)
{
    view_.SetMemoLines(1, {});
    for (const std::string& line : kalvo::ReportCandidateLines(uGlobal::ReadingTexts, uGlobal::LanguageTable))
        AddReportLine(line);
    RefreshIndicators();
    for (int n = 1; n <= kalvo::ErrorRecordCount; ++n)
        ShowErrorRecord(fields.errorRecords[static_cast<std::size_t>(n - 1)], n);
}

void TMainFrm::AddReportLine(const std::string& line)
{
    if (kalvo::ReportLineFilter(line))
        view_.AddMemoLine(1, line);
}

void TMainFrm::ShowErrorRecord(const kalvo::ErrorRecordValues& record, int n)
{
    // Memo2 .. Memo9 hold records 1 .. 8; there is no box for any other number.
    if (n < 1 || n > kalvo::ErrorRecordCount)
        return;
    view_.SetMemoLines(n + 1, kalvo::ErrorRecordLines(record, n, uGlobal::LanguageTable));
}
