#include "tools/nightsim/NightSimulation.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>

#include "core/FieldTable.h"
#include "core/Language.h"
#include "record/CsvFiles.h"
#include "record/RawReplies.h"
#include "record/RecordOptions.h"
#include "record/Recorder.h"

namespace nightsim {

using kalvo::ReportField;
using kalvo::record::LinkStatus;
using kalvo::record::PollInput;

namespace {

constexpr std::int64_t LinkLossMs = 60'000;
constexpr std::int64_t LockedOutMs = 12 * 60'000;  // until somebody resets it
// A lockout is led up to as its kind happens: after a minute at rest, a start whose safety time
// ends without a flame (prepurge, preignition and safety time before it), or a start that runs for
// a while until the mains voltage dips and the flame goes out. A burner already running when a
// lockout in operation nears runs on into it.
constexpr std::int64_t RestMs = 60'000, StartMs = 36'000, RunBeforeDipMs = 90'000, DipMs = 8'000, FlameOutMs = 5'000;

enum Phase : std::uint8_t { Standby = 0, PrePurge = 1, PreIgnition = 2, SafetyTime = 3, Run = 5, PostPurge = 6, Lockout = 7 };

// The status flags of status byte 37.
constexpr std::uint8_t Alarm = kalvo::StatusFlagMask(kalvo::AlarmFlag), Flame = kalvo::StatusFlagMask(kalvo::FlameFlag),
                       Valve2 = kalvo::StatusFlagMask(kalvo::FuelValve2Flag),
                       Valve1 = kalvo::StatusFlagMask(kalvo::FuelValve1Flag),
                       Transformer = kalvo::StatusFlagMask(kalvo::IgnitionTransformerFlag),
                       Motor = kalvo::StatusFlagMask(kalvo::FanMotorFlag),
                       HeatDemand = kalvo::StatusFlagMask(kalvo::OnOffFlag);

std::uint8_t Outputs(Phase phase, bool flame)
{
    switch (phase) {
    case PrePurge:
        return Motor | HeatDemand;
    case PreIgnition:
        return Motor | Transformer | HeatDemand;
    case SafetyTime:
        return Motor | Transformer | Valve1 | HeatDemand | (flame ? Flame : 0);
    case Run:
        return Motor | Valve1 | Valve2 | HeatDemand | (flame ? Flame : 0);
    case PostPurge:
        return Motor;
    case Lockout:
        return Alarm;
    case Standby:
        break;
    }
    return 0;
}

void Put(kalvo::Block& block, const kalvo::UnitField& field, std::int64_t value)
{
    kalvo::PutField(block, field, static_cast<std::uint32_t>(value));
}

class Night {
public:
    explicit Night(const NightPlan& plan) : plan_(plan), rng_(plan.seed) { Enter(Standby, 0); }

    PollInput PollAt(std::int64_t ms)
    {
        Advance(ms);
        PollInput poll;
        poll.time = {plan_.start.utcMs + ms, plan_.start.utcOffsetMinutes};
        const bool linkLost = std::any_of(plan_.linkLosses.begin(), plan_.linkLosses.end(), [&](auto at) {
            return ms >= at.count() && ms < at.count() + LinkLossMs;
        });
        poll.link = linkLost ? LinkStatus::NoPort : LinkStatus::Ok;
        if (linkLost)
            return poll;
        Status(poll.statusBlock, ms);
        Timing(poll.timingBlock);
        History(poll.errorHistoryBlock);
        return poll;
    }

private:
    std::int64_t Random(std::int64_t low, std::int64_t high) { return std::uniform_int_distribution<std::int64_t>(low, high)(rng_); }
    double Noise(double amplitude) { return std::uniform_real_distribution<double>(-amplitude, amplitude)(rng_); }

    void Enter(Phase phase, std::int64_t at)
    {
        phase_ = phase;
        phaseStart_ = at;
        switch (phase) {
        case Standby: phaseLength_ = Random(8, 40) * 60'000; break;
        case PrePurge: phaseLength_ = 30'000; ++starts_; break;
        case PreIgnition: phaseLength_ = 3'000; break;
        case SafetyTime: phaseLength_ = 3'000; break;
        case Run: phaseLength_ = Random(6, 25) * 60'000; flameTarget_ = static_cast<double>(Random(270, 360)); break;
        case PostPurge: phaseLength_ = 15'000; break;
        case Lockout: phaseLength_ = LockedOutMs; break;
        }
    }

    // Alternately no flame at the end of the safety time and the flame lost in operation.
    bool NextLockoutInRun() const { return nextLockout_ % 2 == 1; }
    std::int64_t LeadMs() const { return RestMs + StartMs + (NextLockoutInRun() ? RunBeforeDipMs + DipMs : 0); }

    bool FlameAt(std::int64_t ms) const
    {
        if (approaching_ && !NextLockoutInRun() && phase_ == SafetyTime)
            return false;
        if (approaching_ && NextLockoutInRun() && ms >= plan_.lockouts[nextLockout_].count() - FlameOutMs)
            return false;
        return phase_ == Run || (phase_ == SafetyTime && ms - phaseStart_ > 1'500);
    }

    void Advance(std::int64_t now)
    {
        if (nextLockout_ < plan_.lockouts.size() && !approaching_ && phase_ != Lockout
            && now >= plan_.lockouts[nextLockout_].count() - LeadMs()) {
            approaching_ = true;
            const std::int64_t at = plan_.lockouts[nextLockout_].count();
            if (phase_ == Run && NextLockoutInRun()) {
                phaseLength_ = std::max(phaseLength_, at + 1 - phaseStart_);
            } else {
                Enter(Standby, std::max(phaseStart_, at - LeadMs()));
                phaseLength_ = at - LeadMs() + RestMs - phaseStart_;
            }
        }
        while (nextLockout_ < plan_.lockouts.size() && now >= plan_.lockouts[nextLockout_].count() && phase_ != Lockout) {
            LockOut(plan_.lockouts[nextLockout_].count());
            ++nextLockout_;
        }
        while (now >= phaseStart_ + phaseLength_) {
            const std::int64_t end = phaseStart_ + phaseLength_;
            switch (phase_) {
            case Standby: Enter(PrePurge, end); break;
            case PrePurge: Enter(PreIgnition, end); break;
            case PreIgnition: Enter(SafetyTime, end); break;
            case SafetyTime: Enter(Run, end); break;
            case Run: runMinutes_ += static_cast<int>(phaseLength_ / 60'000); Enter(PostPurge, end); break;
            case PostPurge: Enter(Standby, end); break;
            case Lockout: Enter(Standby, end); break;
            }
        }
        const bool flame = FlameAt(now);
        flameCurrent_ = flame ? flameCurrent_ + (flameTarget_ - flameCurrent_) * 0.5 + Noise(6) : std::max(0.0, flameCurrent_ * 0.2);
        // Mains sags a little while the fan runs, and once in a while for a few seconds; before a
        // lockout in operation it dips deep.
        const bool dip = approaching_ && NextLockoutInRun() && now >= plan_.lockouts[nextLockout_].count() - DipMs;
        volts_ = 2300 + Noise(12) - (Outputs(phase_, flame) & Motor ? 25 : 0)
            - (dip                        ? 440
                    : Random(0, 400) == 0 ? 180
                                          : 0);
    }

    void LockOut(std::int64_t at)
    {
        const bool inRun = NextLockoutInRun();
        approaching_ = false;
        history_.push_front({static_cast<std::uint8_t>(inRun ? Run : SafetyTime), starts_,
                             static_cast<int>(std::lround(volts_)), inRun ? static_cast<int>(Random(20, 60)) : 0,
                             powerOnMinutes_ + static_cast<int>(at / 60'000)});
        if (history_.size() > static_cast<std::size_t>(kalvo::ErrorRecordCount))
            history_.pop_back();
        ++lockouts_;
        Enter(Lockout, at);
    }

    void Status(kalvo::Block& block, std::int64_t ms) const
    {
        kalvo::PutText(block, kalvo::ReportField("status_text"),
            phase_ == Lockout   ? "LOCKOUT"
                : phase_ == Run ? "OPERATION"
                                : "STANDBY");
        Put(block, ReportField("operating_hours"), operatingHours_ + ms / 3'600'000);
        Put(block, ReportField("burner_starts"), starts_);
        Put(block, ReportField("lockouts"), lockouts_);
        Put(block, ReportField("flame_current"), std::lround(std::max(0.0, flameCurrent_)));
        Put(block, ReportField("mains_voltage"), std::lround(volts_));
        block[kalvo::StatusFlagBytesAt] = Outputs(phase_, FlameAt(ms));
        Put(block, ReportField("state"), phase_);
        Put(block, ReportField("start_attempts"), starts_);
    }

    void Timing(kalvo::Block& block) const
    {
        Put(block, ReportField("prepurge_time"), 300);  // tenths of a second
        Put(block, ReportField("preignition_time"), 30);
        Put(block, ReportField("safety_time"), 30);
        Put(block, ReportField("burner_run_time"), runMinutes_);
        Put(block, ReportField("postpurge_time"), 150);
    }

    void History(kalvo::Block& block) const
    {
        using kalvo::ErrorRecordValueFields;
        std::fill(
            block.begin(), block.begin() + kalvo::ErrorRecordCount * kalvo::ErrorRecordSize, kalvo::EmptyRecordCode);
        for (std::size_t n = 0; n < history_.size(); ++n) {
            const Record& record = history_[n];
            const auto bytes = std::span(block).subspan(n * kalvo::ErrorRecordSize, kalvo::ErrorRecordSize);
            std::fill(bytes.begin(), bytes.end(), 0x00);
            bytes[kalvo::ErrorRecordStateAt] = record.phase;
            const std::uint32_t values[] = {record.starts, static_cast<std::uint32_t>(record.volts),
                static_cast<std::uint32_t>(record.current), static_cast<std::uint32_t>(record.minutes)};
            static_assert(std::size(values) == ErrorRecordValueFields.size());
            for (std::size_t k = 0; k < ErrorRecordValueFields.size(); ++k)
                kalvo::PutField(bytes, ErrorRecordValueFields[k], values[k]);
        }
    }

    struct Record {
        std::uint8_t phase;
        std::uint32_t starts;
        int volts, current, minutes;
    };

    const NightPlan& plan_;
    std::mt19937 rng_;
    Phase phase_ = Standby;
    std::int64_t phaseStart_ = 0, phaseLength_ = 0;
    std::size_t nextLockout_ = 0;
    bool approaching_ = false;  // the lead-up to the next lockout has begun
    double flameCurrent_ = 0, flameTarget_ = 300, volts_ = 2300;
    std::uint32_t starts_ = 18'204, lockouts_ = 37, operatingHours_ = 6'120;
    int runMinutes_ = 0, powerOnMinutes_ = 500'000 % 60'000;
    std::deque<Record> history_{{7, 17'950, 2291, 0, 2'000}, {5, 17'400, 2305, 41, 1'200}};
};

}  // namespace

void SimulateNight(const NightPlan& plan, const std::function<void(const PollInput&)>& onPoll)
{
    Night night(plan);
    for (std::int64_t ms = 0; ms < plan.length.count(); ms += plan.pollEvery.count())
        onPoll(night.PollAt(ms));
}

long long WriteSimulatedRecording(
    const NightPlan& plan, const std::string& folder, const kalvo::record::RecordLanguage& language)
{
    kalvo::record::PrepareFolder(folder);
    kalvo::record::Recorder recorder(language.lines);
    recorder.AddSink(std::make_unique<kalvo::record::ReadingsCsvSink>(folder, language, kalvo::record::Durability::None));
    recorder.AddSink(std::make_unique<kalvo::record::EventsCsvSink>(folder, language, kalvo::record::Durability::None));
    recorder.AddSink(std::make_unique<kalvo::record::RawRepliesSink>(folder, kalvo::record::Durability::None));
    SimulateNight(plan, [&](const PollInput& poll) { recorder.RecordPoll(poll); });
    recorder.Finish();
    return recorder.Polls();
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    std::vector<std::string> values;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h")
            line.help = true;
        else if (argument == "--version")
            line.version = true;
        else if (argument.starts_with("-"))
            line.error = "unknown option '" + argument + "'";
        else
            values.push_back(argument);
    }
    if (line.help || line.version || !line.error.empty())
        return line;
    if (values.empty() || values.size() > 2) {
        line.error = "give a folder and, if you like, a number of days or a length";
        return line;
    }
    line.folder = values[0];
    if (values.size() == 2) {
        const std::string& length = values[1];
        const bool days = !length.empty() && length.size() <= 4
            && std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (days && std::stoi(length) > 0)
            line.length = std::chrono::hours(24 * std::stoi(length));
        else if (!days)
            line.length = kalvo::record::ParseDuration(length);
        if (!line.length)
            line.error = "wants a number of days or a length such as 36h, not '" + length + "'";
    }
    return line;
}

}  // namespace nightsim
