// Figures of kalvo-record, measured on the programs themselves (not asserted anywhere):
//
//   1. CPU while recording: kalvo-record polls unitsim on a pseudo-terminal, paced like the 9600-baud
//      line, for a while; its user and system time against the wall time, in percent of one core.
//      Also the raw replies file's size, scaled to a day of polls.
//   2. The night report of a 30-day recording at one poll every 2 s (1.3 million polls, simulated):
//      time and peak memory of `kalvo-record --report` against `gzip -c` over the same recording's
//      CSV files, each the best of three runs taken in turn (goals: faster than gzip, under 1 s,
//      under 64 MB), and the raw files' size per day.
//   3. The peak memory of `unitsim --replay` of that recording over its first 20 seconds, where it
//      reads the recording.
//   4. What a day costs an SD card: a simulated day (nightsim, two lockouts, a link loss) recorded
//      into files as kalvo-record keeps them, durable; bytes written per file and data syncs per hour.
//
// Usage: record_bench [--record-seconds N] [--days N]   (0 leaves the part out)

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/Language.h"
#include "record/DayFile.h"
#include "record/FolderRecorder.h"
#include "record/RawReplies.h"
#include "testing/LanguageFixtures.h"
#include "testing/TempDir.h"
#include "testing/UnitsimProcess.h"
#include "tools/nightsim/NightSimulation.h"

extern char** environ;

namespace {

using namespace std::chrono;
using Clock = steady_clock;

struct Run {
    int exitCode;
    double wallSeconds, cpuSeconds, peakMegabytes;
};

// Runs a program to its end, or, given whileRunning, until that returns (then SIGTERM), and takes
// its resource use from the kernel.
Run RunProgram(const std::vector<std::string>& command, const std::function<void()>& whileRunning = {})
{
    std::vector<char*> argv;
    for (const std::string& part : command)
        argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + command[0]);
    if (whileRunning) {
        whileRunning();
        kill(pid, SIGTERM);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall = duration<double>(Clock::now() - start).count();
    const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, wall, cpu, usage.ru_maxrss / 1024.0};
}

std::uintmax_t RawBytes(const std::filesystem::path& folder)
{
    std::uintmax_t total = 0;
    for (const auto& path : kalvo::record::RawFilesIn(folder))
        total += std::filesystem::file_size(path);
    return total;
}

void CpuWhileRecording(int seconds)
{
    kalvo::test::TempDir dir;
    const std::string settings = dir.file("kalvo.ini");
    kalvo::test::UnitsimProcess unit(UNITSIM_PROGRAM, {"--settings", settings, "--com", "20", "--pace", "--seed", "9"});
    if (unit.NextLine(20s).empty())
        throw std::runtime_error("unitsim named no terminal");
    const Run run = RunProgram({KALVO_RECORD_PROGRAM, "--settings", settings, "--out", dir.file("out"), "--duration",
                                std::to_string(seconds) + "s", "--quiet"});
    long long polls = 0;
    kalvo::record::ReadRecording(dir.path() / "out", [&](const kalvo::record::PollInput&) { ++polls; });
    const double rawPerDay = static_cast<double>(RawBytes(dir.path() / "out")) / polls * (86400.0 / 2.3);
    std::printf("recording unitsim for %d s: exit %d, %lld polls, CPU %.3f s = %.3f %% of one core (target < 0.5 %%); "
                "raw replies %.2f MB per day\n",
                seconds, run.exitCode, polls, run.cpuSeconds, 100.0 * run.cpuSeconds / run.wallSeconds,
                rawPerDay / 1e6);
}

// The best of three runs of each command, taken in turn so that both see the same load.
std::pair<Run, Run> BestOfThree(const std::vector<std::string>& first, const std::vector<std::string>& second)
{
    std::pair<Run, Run> best{RunProgram(first), RunProgram(second)};
    for (int round = 1; round < 3; ++round) {
        const Run a = RunProgram(first), b = RunProgram(second);
        if (a.wallSeconds < best.first.wallSeconds)
            best.first = a;
        if (b.wallSeconds < best.second.wallSeconds)
            best.second = b;
    }
    return best;
}

void MonthReport(int days)
{
    kalvo::test::TempDir dir;
    nightsim::NightPlan plan;
    plan.start = {1'796'583'600'000, 60};
    plan.length = hours(24 * days);
    plan.pollEvery = milliseconds(2'000);
    for (hours at{13}; at < plan.length; at += hours(13))
        plan.lockouts.push_back(at);
    kalvo::LanguageLines language;
    kalvo::LoadLanguage(KALVO_LANGUAGE_FILE, language);
    const std::filesystem::path folder = dir.path() / "month";
    const long long polls =
        nightsim::WriteSimulatedRecording(plan, folder.string(), kalvo::record::RecordLanguage(language));
    std::string csvFiles;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".csv")
            csvFiles += " '" + entry.path().string() + "'";
    const auto [report, gzip] =
        BestOfThree({KALVO_RECORD_PROGRAM, "--report", folder.string(), "--output", dir.file("report.html"), "--quiet"},
            {"/bin/sh", "-c", "exec gzip -c" + csvFiles + " >/dev/null"});
    std::printf("night report of %d days, %lld polls: exit %d, %.2f s wall, %.2f s CPU (goal < 1 s), peak memory "
                "%.0f MB (goal < 64 MB); gzip -c of the CSV files: exit %d, %.2f s wall, %.2f s CPU; report/gzip "
                "%.2f wall, %.2f CPU (goal < 1); raw replies %.2f MB per day, page %.0f KB\n",
        days, polls, report.exitCode, report.wallSeconds, report.cpuSeconds, report.peakMegabytes, gzip.exitCode,
        gzip.wallSeconds, gzip.cpuSeconds, report.wallSeconds / gzip.wallSeconds, report.cpuSeconds / gzip.cpuSeconds,
        static_cast<double>(RawBytes(folder)) / days / 1e6,
        static_cast<double>(std::filesystem::file_size(dir.path() / "report.html")) / 1024);
    // The recording played 10,000 times as fast to kalvo-record for 30 s: some 3 days of it, across
    // the day files' borders.
    const std::string settings = dir.file("kalvo.ini");
    const Run replay = RunProgram(
        {UNITSIM_PROGRAM, "--replay", folder.string(), "--speed", "10000", "--settings", settings, "--com", "20"}, [&] {
            for (auto deadline = Clock::now() + 120s; !std::filesystem::exists(settings) && Clock::now() < deadline;)
                std::this_thread::sleep_for(100ms);
            RunProgram({KALVO_RECORD_PROGRAM, "--settings", settings, "--out", dir.file("played"), "--duration", "30s",
                "--quiet"});
        });
    long long played = 0;
    kalvo::record::ReadRecording(dir.path() / "played", [&](const kalvo::record::PollInput&) { ++played; });
    std::printf("unitsim --replay of the %d days at 10000 times the speed, polled %lld times: peak memory %.0f MB\n",
        days, played, replay.peakMegabytes);
}

void DayOnACard()
{
    kalvo::test::TempDir dir;
    nightsim::NightPlan plan;
    plan.start = {1'796'598'000'000, 60};  // 2026-12-07T00:00:00+01:00
    plan.length = hours(24);
    plan.lockouts = {hours(3), hours(15)};
    plan.linkLosses = {hours(9)};
    const kalvo::record::RecordLanguage language(kalvo::test::NumberedLanguage());
    const std::uint64_t syncsBefore = kalvo::record::DataSyncCount();
    long long polls = 0;
    {
        kalvo::record::FolderRecorder recording(dir.path(), language, "record_bench");
        nightsim::SimulateNight(plan, [&](const kalvo::record::PollInput& poll) {
            recording.RecordPoll(poll);
            ++polls;
        });
    }
    const std::uint64_t syncs = kalvo::record::DataSyncCount() - syncsBefore;
    std::uintmax_t total = 0;
    std::printf("a day on an SD card, %lld polls:", polls);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (!entry.is_regular_file())
            continue;
        total += entry.file_size();
        std::printf(" %s %.2f MB,", entry.path().filename().string().c_str(), entry.file_size() / 1e6);
    }
    std::printf(" %.2f MB in all; %llu data syncs, %.0f an hour\n", total / 1e6,
                static_cast<unsigned long long>(syncs), syncs / 24.0);
}

}  // namespace

int main(int argc, char** argv)
{
    int seconds = 60, days = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--record-seconds")
            seconds = std::stoi(argv[i + 1]);
        else if (option == "--days")
            days = std::stoi(argv[i + 1]);
    }
    try {
        DayOnACard();
        if (days > 0)
            MonthReport(days);
        if (seconds > 0)
            CpuWhileRecording(seconds);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "record_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
