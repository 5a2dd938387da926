// A recording played back by the simulated unit, driven in simulated time: each poll once, and
// silence where nothing was recorded.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/Protocol.h"
#include "record/RawReplies.h"
#include "testing/TempDir.h"
#include "tools/unitsim/Replay.h"

namespace unitsim {
namespace {

using namespace std::chrono_literals;
using kalvo::record::PollInput;

// Polls at the given times (ms), each marked by its number in status byte 0.
std::vector<PollInput> PollsAt(const std::vector<std::int64_t>& times)
{
    std::vector<PollInput> polls;
    for (std::int64_t ms : times) {
        PollInput poll;
        poll.time = {ms, 60};
        poll.link = kalvo::record::LinkStatus::Ok;
        poll.statusBlock[0] = static_cast<std::uint8_t>(polls.size());
        polls.push_back(poll);
    }
    return polls;
}

// What a poller every two seconds gets: the number of the poll played, or -1 for silence, until
// the recording ends.
std::vector<int> PlayedEveryTwoSeconds(ReplaySource replay)
{
    std::vector<int> played;
    for (int k = 0; !replay.Finished() && k < 100'000; ++k) {
        const ReplaySource::Time now = k * 2s;
        const std::optional<Bytes> status = replay.Answer(kalvo::StatusRequest, now);
        const std::optional<Bytes> timing = replay.Answer(kalvo::TimingRequest, now);
        if (replay.Finished())
            break;
        EXPECT_EQ(status.has_value(), timing.has_value()) << "request " << k << ": the poll answers whole or not";
        played.push_back(status ? status->at(0) : -1);
    }
    return played;
}

TEST(ReplaySourceTest, ALostSpanIsSilentAndEveryPollIsPlayedOnce)
{
    // Polls every two seconds to 20 s, nothing until 60 s (a span lost to damage), then to 80 s.
    std::vector<std::int64_t> times;
    for (std::int64_t ms = 0; ms <= 80'000; ms += 2000)
        if (ms <= 20'000 || ms >= 60'000)
            times.push_back(ms);
    std::vector<int> expected;
    for (int n = 0; n <= 10; ++n)
        expected.push_back(n);
    expected.insert(expected.end(), 19, -1);  // 22 s to 58 s
    for (int n = 11; n <= 21; ++n)
        expected.push_back(n);
    EXPECT_EQ(PlayedEveryTwoSeconds(ReplaySource(PollsAt(times), 1)), expected);
}

TEST(ReplaySourceTest, UnevenPollsAreNeverTakenForALostSpan)
{
    // A poller's period wavers, and a slow transfer stretches one interval to almost two periods.
    const std::vector<std::int64_t> times{0, 1900, 4000, 5900, 8000, 11'900, 14'000, 15'900, 18'000};
    const std::vector<int> played = PlayedEveryTwoSeconds(ReplaySource(PollsAt(times), 1));
    EXPECT_EQ(std::count(played.begin(), played.end(), -1), 0);
    EXPECT_EQ(played.back(), 8);
}

TEST(ReplaySourceTest, ARecordingOfSeveralDayFilesIsPlayedAcrossTheirBordersOnce)
{
    // Polls every two seconds from 23:59:00 local time for three days' files, the middle one whole:
    // the playback reads a file at a time and must neither drop nor repeat a poll where they meet.
    kalvo::test::TempDir dir;
    const std::int64_t start = 1'796'597'940'000;  // 2026-12-06T23:59:00+01:00
    std::vector<std::int64_t> times;
    for (std::int64_t ms = start; ms <= start + 86'400'000 + 120'000; ms += 2000)
        times.push_back(ms);
    {
        kalvo::record::RawRepliesSink raw(dir.path(), kalvo::record::Durability::None);
        for (const PollInput& poll : PollsAt(times))
            raw.OnPoll(poll, {});
    }
    ASSERT_EQ(kalvo::record::RawFilesIn(dir.path()).size(), 3u);
    ReplaySource replay(dir.path(), 1);
    EXPECT_EQ(replay.PollCount(), times.size());
    std::vector<int> expected;
    for (std::size_t n = 0; n < times.size(); ++n)
        expected.push_back(static_cast<std::uint8_t>(n));
    EXPECT_EQ(PlayedEveryTwoSeconds(std::move(replay)), expected);
}

}  // namespace
}  // namespace unitsim
