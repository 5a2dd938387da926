#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <set>
#include <vector>

#include "core/FieldTable.h"
#include "core/Protocol.h"
#include "tools/unitsim/Behaviour.h"
#include "tools/unitsim/BurnerModel.h"
#include "tools/unitsim/TransmitLine.h"
#include "tools/unitsim/Wire.h"

namespace unitsim {
namespace {

using namespace std::chrono_literals;

int Word(const Bytes& data, std::size_t at)
{
    return data[at] * 256 + data[at + 1];
}

int Triple(const Bytes& data, std::size_t at)
{
    return data[at] * 65536 + data[at + 1] * 256 + data[at + 2];
}

Bytes Frame(std::uint8_t code)
{
    const auto frame = kalvo::BuildRequestFrame(code);
    return Bytes(frame.begin(), frame.end());
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The 16 characters of the status text are printable ASCII without "-" (a report line holding "-"
// is hidden), then only 0x80 padding.
void ExpectWellFormedStatusText(const Bytes& status)
{
    const auto text = status.begin() + 2;
    const auto pad = std::find(text, text + 16, 0x80);
    ASSERT_GT(pad, text) << "empty status text";
    EXPECT_TRUE(std::all_of(text, pad, [](std::uint8_t c) { return c >= 0x20 && c < 0x7F && c != '-'; }));
    EXPECT_TRUE(std::all_of(pad, text + 16, [](std::uint8_t c) { return c == 0x80; }));
}

TEST(UnitReply, FramesTheDataOfEachRequest)
{
    BurnerModel model(7);
    model.Advance(90s);
    const struct {
        std::uint8_t code;
        std::size_t length;
    } cases[] = {{kalvo::StatusRequest, kalvo::StatusReplyLength},
                 {kalvo::TimingRequest, kalvo::TimingReplyLength},
                 {kalvo::ErrorHistoryRequest, kalvo::ErrorHistoryReplyLength}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const Bytes data = model.DataFor(c.code);
        const Bytes reply = BuildReply(c.code, data);
        ASSERT_EQ(reply.size(), c.length);
        EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 6),
                  (Bytes{0x82, 0x82, static_cast<std::uint8_t>(c.length), 0x00, 0x01, c.code}));
        EXPECT_EQ(Bytes(reply.begin() + 6, reply.end() - 2), data);
        const int sum = std::accumulate(reply.begin(), reply.end() - 2, 0) & 0xFFFF;
        EXPECT_EQ(Word(reply, reply.size() - 2), sum);
    }
    EXPECT_TRUE(model.DataFor(0x83).empty());
}

TEST(UnitModel, SameSeedSameUnitOtherSeedOtherUnit)
{
    BurnerModel a(42), b(42), c(43);
    for (BurnerModel* model : {&a, &b, &c})
        model->Advance(10min);
    EXPECT_EQ(a.StatusData(), b.StatusData());
    EXPECT_EQ(a.ErrorHistoryData(), b.ErrorHistoryData());
    EXPECT_NE(a.StatusData(), c.StatusData());
}

TEST(UnitModel, StartsWithSomeFaultsOnRecordAndRoomForMore)
{
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        const Bytes history = BurnerModel(seed).ErrorHistoryData();
        ASSERT_EQ(history.size(), 128u);
        int real = 0, empty = 0;
        for (std::size_t at = 0; at < history.size(); at += 16) {
            if (history[at] == 0xFF) {
                ++empty;
                EXPECT_TRUE(std::all_of(history.begin() + at, history.begin() + at + 16,
                                        [](std::uint8_t b) { return b == 0xFF; }));
                continue;
            }
            EXPECT_EQ(empty, 0) << "a real record after an empty one";
            ++real;
            EXPECT_LE(history[at], 15);
            EXPECT_NEAR(Word(history, at + 4), 2300, 100);
            EXPECT_LT(Word(history, at + 8), 0xFFFF);
        }
        EXPECT_GE(real, 1);
        EXPECT_GE(empty, 1);
    }
}

TEST(UnitModel, TimingBlockHasHiddenLongAndRunningValues)
{
    BurnerModel model(5);
    const Bytes before = model.TimingData();
    ASSERT_EQ(before.size(), 38u);
    std::vector<int> durations;
    for (std::size_t at = 0; at < 36; at += 2)
        if (at != 10 && at != 32)  // the hours:minutes field and the unused pair
            durations.push_back(Word(before, at));
    EXPECT_EQ(durations.size(), 16u);
    EXPECT_TRUE(std::any_of(durations.begin(), durations.end(), [](int d) { return d == 0; }));
    EXPECT_TRUE(std::any_of(durations.begin(), durations.end(), [](int d) { return d > 600; }));
    EXPECT_TRUE(std::none_of(durations.begin(), durations.end(), [](int d) { return d == 0xFFFF; }));

    // The burner's run time in minutes grows while the flame burns: the first run lasts a minute at least.
    model.Advance(10min);
    EXPECT_GT(Word(model.TimingData(), 10), Word(before, 10));
    EXPECT_LE(Word(model.TimingData(), 10), Word(before, 10) + 10);
}

// One simulated run of a unit, sampled every 100 ms.
struct Sample {
    Bytes status;
};

struct LockoutEvent {
    std::uint8_t faultState;  // the state the unit was in when it locked out
    int startCount;
    Bytes historyBefore;
    Bytes historyAfter;
};

class UnitSequence : public ::testing::Test {
protected:
    static constexpr auto Step = 100ms;

    static void SetUpTestSuite()
    {
        BurnerModel model(2024);
        Bytes history = model.ErrorHistoryData();
        for (int i = 0; i < 4 * 3600 * 10; ++i) {  // four simulated hours
            model.Advance(Step);
            samples_.push_back({model.StatusData()});
            const Bytes& status = samples_.back().status;
            if (i > 0 && status[40] == 7 && samples_[i - 1].status[40] != 7) {
                const Bytes after = model.ErrorHistoryData();
                lockouts_.push_back({samples_[i - 1].status[40], Triple(status, 21), history, after});
                history = after;
            }
        }
    }
    static void TearDownTestSuite()
    {
        samples_.clear();
        lockouts_.clear();
    }

    static inline std::vector<Sample> samples_;
    static inline std::vector<LockoutEvent> lockouts_;
};

TEST_F(UnitSequence, GoesThroughEveryPhaseInOrder)
{
    const std::set<std::pair<int, int>> allowed = {
        {0, 8}, {8, 1}, {1, 2}, {2, 3}, {3, 4}, {3, 7}, {4, 5}, {5, 6}, {5, 7}, {6, 0}, {7, 12}, {12, 0},
    };
    std::set<int> seen;
    for (std::size_t i = 1; i < samples_.size(); ++i) {
        const int from = samples_[i - 1].status[40], to = samples_[i].status[40];
        seen.insert(to);
        if (from != to) {
            ASSERT_TRUE(allowed.contains({from, to})) << from << " -> " << to << " at sample " << i;
        }
    }
    EXPECT_EQ(seen, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 12}));
}

TEST_F(UnitSequence, OutputsFollowTheBurnerSequence)
{
    bool fanRanSinceStandby = false;
    for (const Sample& sample : samples_) {
        const std::uint8_t outputs = sample.status[37];
        const auto on = [&](std::uint8_t bit) { return (outputs & bit) != 0; };
        if (sample.status[40] == 0)
            fanRanSinceStandby = false;
        fanRanSinceStandby = fanRanSinceStandby || on(flag::Motor);
        ASSERT_TRUE(!on(flag::Flame) || fanRanSinceStandby) << "flame without pre-purge";
        ASSERT_TRUE(!on(flag::Flame) || on(flag::Valve1)) << "flame without fuel";
        ASSERT_TRUE(!on(flag::Valve2) || on(flag::Valve1)) << "BV 2 without BV 1";
        ASSERT_TRUE(!on(flag::Transformer) || on(flag::Motor)) << "ignition without the fan";
        ASSERT_EQ(on(flag::Alarm), sample.status[40] == 7) << "alarm flag and lockout state disagree";
        ASSERT_EQ(sample.status[38] & 0x3F, 0) << "unused bits of byte 38 set";
    }
}

TEST_F(UnitSequence, MeasuredValuesAreBelievable)
{
    long long voltageSum = 0;
    int flameOnFor = 0, flameOffFor = 0;
    for (const Sample& sample : samples_) {
        const Bytes& status = sample.status;
        ExpectWellFormedStatusText(status);
        const int voltage = Word(status, 35);
        ASSERT_GT(voltage, 1800);
        ASSERT_LT(voltage, 2500);
        voltageSum += voltage;

        const bool flame = status[37] & flag::Flame;
        flameOnFor = flame ? flameOnFor + 1 : 0;
        flameOffFor = flame ? 0 : flameOffFor + 1;
        const int flameCurrent = Word(status, 29);
        if (flameOnFor > 30) {
            ASSERT_GT(flameCurrent, 150) << "no flame current after 3 s of flame";
        }
        if (flameOffFor > 20) {
            ASSERT_LT(flameCurrent, 10) << "flame current 2 s after the flame went out";
        }
        ASSERT_EQ(Word(status, 33) > 0, status[40] == 7) << "alarm current outside a lockout";
    }
    EXPECT_NEAR(static_cast<double>(voltageSum) / static_cast<double>(samples_.size()), 2300, 20);
}

TEST_F(UnitSequence, CountersOnlyGrow)
{
    for (std::size_t i = 1; i < samples_.size(); ++i) {
        for (std::size_t at : {18, 21, 24})
            ASSERT_GE(Triple(samples_[i].status, at), Triple(samples_[i - 1].status, at)) << at;
        for (std::size_t at : {41, 43, 45, 47, 49})
            ASSERT_GE(Word(samples_[i].status, at), Word(samples_[i - 1].status, at)) << at;
    }
    const Bytes& first = samples_.front().status;
    const Bytes& last = samples_.back().status;
    EXPECT_GT(Triple(last, 18), Triple(first, 18)) << "operating hours";
    EXPECT_GT(Triple(last, 21), Triple(first, 21)) << "burner starts";
    EXPECT_EQ(Triple(last, 24) - Triple(first, 24), static_cast<int>(lockouts_.size())) << "lockouts";
}

TEST_F(UnitSequence, LockoutsAreRecordedAndResetAfterSomeSeconds)
{
    ASSERT_GE(lockouts_.size(), 2u);
    for (const LockoutEvent& event : lockouts_) {
        EXPECT_TRUE(event.faultState == 3 || event.faultState == 5) << int(event.faultState);
        EXPECT_EQ(event.historyAfter[0], event.faultState);
        EXPECT_EQ(Triple(event.historyAfter, 1), event.startCount);
        EXPECT_NEAR(Word(event.historyAfter, 4), 2300, 400);
        // The older records move down one place; the oldest drops out.
        EXPECT_TRUE(std::equal(event.historyBefore.begin(), event.historyBefore.end() - 16,
                               event.historyAfter.begin() + 16));
    }
    int lockoutFor = 0;
    for (const Sample& sample : samples_) {
        lockoutFor = sample.status[40] == 7 ? lockoutFor + 1 : 0;
        ASSERT_LE(lockoutFor, 300) << "lockout not reset within 30 s";
    }
}

TEST(UnitBehaviour, NamesRoundTrip)
{
    for (Behaviour behaviour : AllBehaviours)
        EXPECT_EQ(ParseBehaviour(BehaviourName(behaviour)), behaviour);
    for (const char* unknown : {"", "Normal", "random", "hang-up", "late "})
        EXPECT_FALSE(ParseBehaviour(unknown)) << unknown;
}

// What one request turns into, for every misbehaviour and a range of random draws.
TEST(UnitBehaviour, PlansDeliverWhatTheyClaim)
{
    BurnerModel model(3);
    std::mt19937 rng(11);
    const auto delay = 20ms;
    for (std::uint8_t code : {kalvo::StatusRequest, kalvo::ErrorHistoryRequest}) {
        const Bytes reply = BuildReply(code, model.DataFor(code));
        const std::size_t n = reply.size();
        for (int draw = 0; draw < 50; ++draw) {
            for (Behaviour behaviour : AllBehaviours) {
                SCOPED_TRACE(std::string(BehaviourName(behaviour)) + " " + std::to_string(n));
                const ReplyPlan plan = PlanReply(behaviour, reply, delay, rng);
                Bytes sent;
                for (const Chunk& chunk : plan.chunks)
                    sent.insert(sent.end(), chunk.bytes.begin(), chunk.bytes.end());
                EXPECT_EQ(plan.hangUp, behaviour == Behaviour::HangUp);
                switch (behaviour) {
                case Behaviour::Normal:
                    ASSERT_EQ(plan.chunks.size(), 1u);
                    EXPECT_EQ(plan.chunks[0].at, delay);
                    EXPECT_EQ(sent, reply);
                    break;
                case Behaviour::Silent:
                case Behaviour::HangUp: EXPECT_TRUE(sent.empty()); break;
                case Behaviour::Short:
                    EXPECT_GT(sent.size(), 0u);
                    EXPECT_LT(sent.size(), n);
                    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), reply.begin()));
                    break;
                case Behaviour::Long:
                    EXPECT_GT(sent.size(), n);
                    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), sent.begin()));
                    break;
                case Behaviour::LateBytes:
                    ASSERT_EQ(plan.chunks.size(), 2u);
                    EXPECT_EQ(plan.chunks[0].at, delay);
                    EXPECT_GT(plan.chunks[1].at, 1000ms);
                    EXPECT_FALSE(plan.chunks[1].bytes.empty());
                    EXPECT_EQ(sent, reply);
                    break;
                case Behaviour::Flood: EXPECT_GT(sent.size(), 256u); break;
                case Behaviour::Garbage:
                    EXPECT_EQ(sent.size(), n);
                    EXPECT_NE(sent, reply);
                    break;
                }
            }
        }
    }
}

TEST(UnitBehaviour, RandomMixIsMostlyNormalWithRunsOfEveryMisbehaviour)
{
    std::mt19937 rng(99);
    RandomBehaviour mix;
    std::map<Behaviour, int> counts;
    int switches = 0;
    Behaviour previous = Behaviour::Normal;
    for (int request = 0; request < 5000; ++request) {
        const Behaviour behaviour = mix.ForNextRequest(rng);
        ++counts[behaviour];
        if (request > 0 && behaviour != previous)
            ++switches;
        if (request > 0 && behaviour == Behaviour::HangUp) {
            ASSERT_NE(previous, Behaviour::HangUp) << "the line hangs up once, then comes back";
        }
        previous = behaviour;
    }
    for (Behaviour behaviour : AllBehaviours)
        EXPECT_GT(counts[behaviour], 0) << BehaviourName(behaviour);
    EXPECT_GT(counts[Behaviour::Normal], 2500);
    EXPECT_LT(switches, 2500) << "behaviours should come in runs";
}

TEST(UnitRequests, FindsTheThreeRequests)
{
    RequestParser parser;
    const Bytes stream = Concat({Frame(0x80), Frame(0x81), Frame(0x82)});
    EXPECT_EQ(parser.Feed(stream), (std::vector<std::uint8_t>{0x80, 0x81, 0x82}));

    // The same, a byte at a time: each request counts once it is complete.
    std::vector<std::uint8_t> codes;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        const auto found = parser.Feed(std::span(stream).subspan(i, 1));
        EXPECT_EQ(found.empty(), (i + 1) % 8 != 0) << i;
        codes.insert(codes.end(), found.begin(), found.end());
    }
    EXPECT_EQ(codes, (std::vector<std::uint8_t>{0x80, 0x81, 0x82}));
}

TEST(UnitRequests, SkipsNoiseAndBadFrames)
{
    Bytes badSum = Frame(0x81);
    badSum[7] ^= 0x01;
    const Bytes unknownCode = BuildReply(0, {});  // any frame the unit does not know
    Bytes frame83 = Frame(0x80);
    frame83[5] = 0x83;
    frame83[7] = 0x8E;  // consistent checksum, unknown request
    const Bytes falseStart{0x81, 0x81, 0x08, 0x00, 0x01};

    const struct {
        const char* what;
        Bytes stream;
        std::vector<std::uint8_t> codes;
    } cases[] = {
        {"noise before", Concat({{0x00, 0xFF, 0x81, 0x13}, Frame(0x82)}), {0x82}},
        {"wrong checksum", Concat({badSum, Frame(0x80)}), {0x80}},
        {"unknown frame", Concat({unknownCode, Frame(0x81)}), {0x81}},
        {"unknown request code", Concat({frame83, Frame(0x82)}), {0x82}},
        {"false start", Concat({falseStart, Frame(0x80), {0x81}, Frame(0x81)}), {0x80, 0x81}},
        {"noise only", Bytes(100, 0x81), {}},
    };
    for (const auto& c : cases) {
        RequestParser parser;
        EXPECT_EQ(parser.Feed(c.stream), c.codes) << c.what;
    }
}

TEST(UnitRequests, ResetForgetsAPartialRequest)
{
    RequestParser parser;
    const Bytes frame = Frame(0x80);
    EXPECT_TRUE(parser.Feed(std::span(frame).first(5)).empty());
    parser.Reset();
    EXPECT_TRUE(parser.Feed(std::span(frame).subspan(5)).empty());
    EXPECT_EQ(parser.Feed(frame), (std::vector<std::uint8_t>{0x80}));
}

TEST(UnitLine, UnpacedBytesGoOutWhenQueued)
{
    TransmitLine line(TransmitLine::Time{0});
    EXPECT_FALSE(line.NextSent());
    line.Queue(5ms, Bytes{1, 2, 3});
    EXPECT_TRUE(line.TakeSent(4ms).empty());
    EXPECT_EQ(line.NextSent(), 5ms);
    EXPECT_EQ(line.TakeSent(5ms), (Bytes{1, 2, 3}));
    EXPECT_FALSE(line.NextSent());
}

TEST(UnitLine, PacedBytesTakeElevenBitsEachAt9600Baud)
{
    const auto character = TransmitLine::CharacterTime9600_8N2;
    const double characterMicroseconds = std::chrono::duration<double, std::micro>(character).count();
    EXPECT_NEAR(characterMicroseconds, 1145.83, 0.01);

    TransmitLine line(character);
    const Bytes reply(59, 0xAA);
    line.Queue(20ms, reply);
    EXPECT_EQ(line.NextSent(), 20ms + character);
    EXPECT_EQ(line.TakeSent(20ms + 58 * character).size(), 58u);
    EXPECT_EQ(line.TakeSent(20ms + 59 * character).size(), 1u);

    // A reply queued while another is still going out follows it.
    line.Queue(0ms, Bytes{1, 2});
    line.Queue(0ms, Bytes{3});
    EXPECT_EQ(line.TakeSent(20ms + 61 * character), (Bytes{1, 2}));
    EXPECT_EQ(line.TakeSent(20ms + 62 * character), (Bytes{3}));

    line.Queue(1s, Bytes{4, 5});
    line.Clear();
    EXPECT_FALSE(line.NextSent());
    EXPECT_TRUE(line.TakeSent(1h).empty());
}

}  // namespace
}  // namespace unitsim

namespace unitsim::hour {

using namespace std::chrono_literals;

using kalvo::FieldBlock;
using kalvo::ReportField;
using kalvo::UnitField;

// One poll of the unit as the decoder sees it, every 100 ms (the model's own step).
struct Poll {
    kalvo::Block status{}, timing{};
    int state = 0;
    bool flame = false, transformer = false;

    double Value(const UnitField& field) const
    {
        return kalvo::FieldNumber(field.block == FieldBlock::Status ? status : timing, field).value_or(0);
    }
};

// A stretch of one state: polls [first, end).
struct Span {
    int state;
    std::size_t first, end;
    double Seconds() const { return static_cast<double>(end - first) / 10.0; }
};

// A simulated hour read through the field table: each state of the start sequence lasts the time
// the unit reports for it, and each counter grows by what the states show happened.
TEST(UnitHour, RunsByTheTimesItReportsAndCountsWhatHappens)
{
    BurnerModel model(11);
    std::vector<Poll> polls;
    for (int i = 0; i < 3600 * 10; ++i) {
        model.Advance(100ms);
        Poll poll;
        const Bytes status = model.StatusData(), timing = model.TimingData();
        std::copy(status.begin(), status.end(), poll.status.begin());
        std::copy(timing.begin(), timing.end(), poll.timing.begin());
        poll.state = static_cast<int>(kalvo::RawFieldValue(poll.status, ReportField("state")).value_or(0xFF));
        poll.flame = status[kalvo::StatusFlagBytesAt] & flag::Flame;
        poll.transformer = status[kalvo::StatusFlagBytesAt] & flag::Transformer;
        polls.push_back(poll);
    }
    std::vector<Span> spans;
    for (std::size_t i = 0; i < polls.size(); ++i) {
        if (i == 0 || polls[i].state != polls[i - 1].state)
            spans.push_back({polls[i].state, i, i + 1});
        else
            spans.back().end = i + 1;
    }
    const Poll& first = polls.front();
    const Poll& last = polls.back();

    // Whole spans only: the first and the last are cut by the hour.
    const auto secondsOf = [&](const UnitField& field) { return first.Value(field); };
    const std::map<int, double> lasts{{1, secondsOf(ReportField("prepurge_time"))},
        {2, secondsOf(ReportField("preignition_time"))}, {3, secondsOf(ReportField("safety_time"))},
        {4, secondsOf(ReportField("valve_delay"))}, {6, secondsOf(ReportField("postpurge_time"))},
        {12, secondsOf(ReportField("remote_reset_delay"))}};
    std::map<int, int> entered;
    std::map<std::pair<int, int>, int> changes;
    for (std::size_t k = 1; k + 1 < spans.size(); ++k) {
        const Span& span = spans[k];
        ++entered[span.state];
        ++changes[{spans[k - 1].state, span.state}];
        if (lasts.contains(span.state)) {
            EXPECT_NEAR(span.Seconds(), lasts.at(span.state), 0.15) << "state " << span.state << " at " << span.first;
        }
        if (span.state == 8) {
            EXPECT_LE(span.Seconds(), secondsOf(ReportField("preheating_time")) + 0.15);
        }
        if (span.state == 4) {
            // The transformer ignites on into the stabilisation for the post-ignition time.
            const auto lit = std::count_if(
                polls.begin() + span.first, polls.begin() + span.end, [](const Poll& p) { return p.transformer; });
            EXPECT_NEAR(lit / 10.0, secondsOf(ReportField("postignition_time")), 0.15);
        }
        if (span.state == 5 && spans[k - 1].state == 4) {
            // Prepurge to operation, as the four spans before showed it.
            const double sequence =
                spans[k - 4].Seconds() + spans[k - 3].Seconds() + spans[k - 2].Seconds() + spans[k - 1].Seconds();
            EXPECT_NEAR(polls[span.first].Value(ReportField("last_start_sequence")), sequence, 0.25);
            EXPECT_LE(
                polls[span.first].Value(ReportField("flame_detection_time")), secondsOf(ReportField("safety_time")));
        }
    }
    EXPECT_GE(entered[7], 2) << "an hour of this unit has lockouts";
    EXPECT_GE(entered[5], 5);

    const auto grew = [&](const UnitField& field) { return last.Value(field) - first.Value(field); };
    const int lockouts = changes[{3, 7}] + changes[{5, 7}];
    EXPECT_EQ(grew(ReportField("start_attempts")), entered[1]);
    EXPECT_EQ(grew(ReportField("burner_starts")), entered[4]);
    EXPECT_EQ(grew(ReportField("lockouts")), lockouts);
    EXPECT_EQ(grew(ReportField("ignition_failures")), (changes[{3, 7}]));
    EXPECT_EQ(grew(ReportField("flame_failures")), (changes[{5, 7}]));
    EXPECT_EQ(grew(ReportField("lockout_resets")), entered[12]);

    // Each flame period as the flag showed it, and the run time in minutes.
    std::size_t flameOn = 0;
    double flameSeconds = 0;
    for (std::size_t i = 1; i < polls.size(); ++i) {
        if (polls[i].flame)
            flameSeconds += 0.1;
        if (polls[i].flame && !polls[i - 1].flame)
            flameOn = i;
        if (!polls[i].flame && polls[i - 1].flame && flameOn > 0) {
            EXPECT_NEAR(polls[i].Value(ReportField("last_flame_period")), (i - flameOn) / 10.0, 0.15) << i;
        }
    }
    EXPECT_NEAR(grew(ReportField("burner_run_time")), flameSeconds / 60.0, 1.0);
}

}  // namespace unitsim::hour
