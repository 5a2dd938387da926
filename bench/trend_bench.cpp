// What 60 minutes of trend cost beside the window that polls without it, measured in one run: the
// heap the trend holds after 1,800 polls (one every 2 s), the CPU a poll adds (the trend taking
// it, and the open trend window painted again at its 60-minute span) against the CPU of the
// window's own handling of a poll, each as a share of one core at a poll every 2 s. The polls run
// through the main window's behaviour against the scripted fake line in simulated time. Prints
// its figures; asserts nothing.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "ui/win32/Win32TrendFrm.h"
#else
#include <malloc.h>
#include <time.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "ui/qt/QtTrendWindow.h"
#endif

#include "core/uGlobal.h"
#include "record/Recorder.h"
#include "testing/FakeSerial.h"
#include "testing/PollFixtures.h"
#include "testing/ProgramFolder.h"
#include "testing/ProgramState.h"
#include "testing/RecordingView.h"
#include "window/uMainFrm.h"

namespace {

std::size_t liveBytes = 0;

std::size_t UsableSize(void* block)
{
#ifdef _WIN32
    return _msize(block);
#else
    return malloc_usable_size(block);
#endif
}

// This process's CPU time in milliseconds.
double CpuMs()
{
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
#else
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
#endif
}

// The open trend window painted once, as the face paints it, at 96 DPI.
void Paint(const kalvo::TrendPicture& picture, int width, int height)
{
#ifdef _WIN32
    DeleteObject(kalvo::win32::TrendBitmap(picture, {width, height}));
#else
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    PaintTrendPicture(painter, picture);
#endif
}

constexpr int Polls = 30 * 60;  // 60 minutes at one poll every 2 s
constexpr int Paints = 200;
constexpr double PollPeriodMs = 2000;

}  // namespace

void* operator new(std::size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    liveBytes += UsableSize(block);
    return block;
}

void operator delete(void* block) noexcept
{
    if (block)
        liveBytes -= UsableSize(block);
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    operator delete(block);
}

int main(int argc, char** argv)
{
#ifndef _WIN32
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
#else
    (void)argc;
    (void)argv;
#endif
    kalvo::FakeSerialSystem serial;
    kalvo::test::ProgramStateGuard state{&serial};
    kalvo::test::ProgramFolder folder;
    folder.WriteNumberedLanguageFile();
    folder.WriteSettings("COM=5\r\n");
    kalvo::test::AnswerEveryRequest(serial);
    kalvo::test::RecordingView view;
    TMainFrm frame{view.Face(), folder.files};
    frame.RecordingClock = [&serial] {
        return kalvo::record::LocalTime{1'796'634'000'000 + static_cast<std::int64_t>(serial.NowMs()), 60};
    };
    frame.FormCreate();
    frame.FormShow();

    // The window polling for an hour, its trend taking every poll; each poll's input kept aside.
    std::vector<std::pair<kalvo::Poll, kalvo::record::LocalTime>> inputs;
    inputs.reserve(Polls);
    double windowMs = 0;
    for (int n = 0; n < Polls; ++n) {
        const kalvo::record::LocalTime pollStart = frame.RecordingClock();
        const double before = CpuMs();
        frame.Timer1Timer();
        windowMs += CpuMs() - before;
        // The fake line answers every request: each poll is whole, its blocks where the cycle left them.
        const kalvo::PollResult result{
            kalvo::LinkStatus::Ok, uGlobal::StatusBlock, uGlobal::TimingBlock, uGlobal::ErrorHistoryBlock};
        inputs.emplace_back(
            kalvo::Poll{result,
                kalvo::DecodePollFields(result.statusBlock, result.timingBlock, result.errorHistoryBlock)},
            pollStart);
        serial.Pause(std::chrono::milliseconds(2000));
    }

    // The same polls into a trend of their own: the heap it holds and the CPU it takes.
    const std::size_t heapBefore = liveBytes;
    kalvo::WindowTrend trend(uGlobal::LanguageTable, folder.files.languageFile);
    const double trendStart = CpuMs();
    for (const auto& [poll, pollStart] : inputs)
        trend.AddFinishedPoll(poll, pollStart);
    const double trendMs = CpuMs() - trendStart;
    const std::size_t trendBytes = liveBytes - heapBefore;
    trend.Model().SetSpan(60);

    const double paintStart = CpuMs();
    for (int n = 0; n < Paints; ++n)
        Paint(trend.Model().Picture(640, 480, 1.0), 640, 480);
    const double paintMs = (CpuMs() - paintStart) / Paints;

    const double windowPollMs = (windowMs - trendMs) / Polls, trendPollMs = trendMs / Polls;
    const std::string csv = trend.Model().ShownValuesCsv();
    std::size_t answered = 0;
    for (std::size_t at = csv.find(",ok,"); at != std::string::npos; at = csv.find(",ok,", at + 1))
        ++answered;
    std::printf("polls in the trend: %zu, %zu of them answered (the last 60 minutes of %d polls 2 s apart)\n",
        trend.Model().Polls(), answered, Polls);
    std::printf("trend heap: %.2f MB (%.0f bytes a poll)\n", trendBytes / 1048576.0,
        static_cast<double>(trendBytes) / Polls);
    std::printf("window without the trend: %.3f ms CPU a poll, %.4f %% of one core\n", windowPollMs,
        100 * windowPollMs / PollPeriodMs);
    std::printf("trend taking a poll: %.3f ms, %.4f %% of one core\n", trendPollMs, 100 * trendPollMs / PollPeriodMs);
    std::printf("trend window painted at 60 minutes, 640 x 480: %.3f ms, %.4f %% of one core\n", paintMs,
        100 * paintMs / PollPeriodMs);
    std::printf("trend added while polling, window open: %.4f %% of one core\n",
        100 * (trendPollMs + paintMs) / PollPeriodMs);
    return 0;
}
