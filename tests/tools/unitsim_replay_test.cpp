// A recording played back by the simulated unit, driven in simulated time: each poll once, and
// silence where nothing was recorded.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/Protocol.h"
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
std::vector<int> PlayedEveryTwoSeconds(std::vector<PollInput> polls)
{
    ReplaySource replay(std::move(polls), 1);
    std::vector<int> played;
    for (int k = 0; !replay.Finished() && k < 1000; ++k) {
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
    EXPECT_EQ(PlayedEveryTwoSeconds(PollsAt(times)), expected);
}

TEST(ReplaySourceTest, UnevenPollsAreNeverTakenForALostSpan)
{
    // A poller's period wavers, and a slow transfer stretches one interval to almost two periods.
    const std::vector<std::int64_t> times{0, 1900, 4000, 5900, 8000, 11'900, 14'000, 15'900, 18'000};
    const std::vector<int> played = PlayedEveryTwoSeconds(PollsAt(times));
    EXPECT_EQ(std::count(played.begin(), played.end(), -1), 0);
    EXPECT_EQ(played.back(), 8);
}

}  // namespace
}  // namespace unitsim
