// The main window's BuildReport with its real widgets: the report box, the picture page's
// component pictures and value labels, the status check list and the eight error boxes, filled
// from one poll's decoded readings. Runs Qt on the offscreen platform unless a platform is set.
// Target: under 2 ms per report.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>

#include <cstddef>
#include <string>
#include <vector>

#include "bench/PollData.h"
#include "core/Readings.h"
#include "core/uGlobal.h"
#include "testing/TempDir.h"
#include "ui/qt/QtMainWindow.h"

namespace {

using kalvo::bench::PollBlocks;

constexpr std::size_t SimulatedPollCount = 64;

// What a poll leaves for BuildReport: the decoded readings and the poll's fields.
struct DecodedPoll {
    kalvo::DecodedReadings readings;
    kalvo::PollFields fields;
};

std::vector<DecodedPoll> DecodedPolls(const kalvo::LanguageLines& language)
{
    std::vector<DecodedPoll> decoded;
    for (const PollBlocks& poll : kalvo::bench::SimulatedPolls(SimulatedPollCount)) {
        const kalvo::PollFields fields = kalvo::DecodePollFields(poll.status, poll.timing, poll.errorHistory);
        decoded.push_back({kalvo::ReadingsOf(fields, language), fields});
    }
    return decoded;
}

void HandOver(const DecodedPoll& poll)
{
    uGlobal::ReadingTexts = poll.readings.texts;
    uGlobal::StatusFlags = poll.readings.flags;
}

// The started window, showing one of its two pages, in a program folder of its own (the delivered
// language file, no settings: no port, so the timer stays off and no poll interferes).
class ShownWindow {
public:
    explicit ShownWindow(int page) : window_(kalvo::ProgramFiles{KALVO_RESOURCES_DIR "/MY.LNG", folder_.file("kalvo.ini")})
    {
        // A modal error box would stop the run; the message is kept for the benchmark to report.
        window_.SetErrorBox([this](const std::string& message) { error_ = message; });
        window_.show();
        window_.PageControl1->setCurrentIndex(page);
        QApplication::processEvents();
    }

    QtMainWindow* operator->() { return &window_; }
    // The message of an error that ended the window's start-up; empty when it started.
    const std::string& Error() const { return error_; }

private:
    std::string error_;
    kalvo::test::TempDir folder_;
    QtMainWindow window_;
};

// BuildReport fed one poll after another; with repaint, the event loop then delivers the
// repaint that BuildReport caused, as it does after each poll tick. The target is for
// BuildReport alone.
void BM_BuildReport(benchmark::State& state, bool repaint)
{
    const int page = static_cast<int>(state.range(0));
    ShownWindow window(page);
    if (!window.Error().empty()) {
        state.SkipWithError(window.Error().c_str());
        return;
    }
    const std::vector<DecodedPoll> polls = DecodedPolls(uGlobal::LanguageTable);
    std::size_t next = 0;
    for (auto _ : state) {
        const DecodedPoll& poll = polls[next++ % polls.size()];
        HandOver(poll);
        window->MainFrm().BuildReport(poll.fields);
        if (repaint)
            QApplication::processEvents();
    }
    state.SetLabel(std::string(page == 0 ? "Picture" : "Text") + " page shown" + (repaint ? "" : ", target < 2 ms"));
}
BENCHMARK_CAPTURE(BM_BuildReport, alone, false)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BuildReport, with_repaint, true)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
