#include "tools/unitsim/BurnerModel.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "core/FieldTable.h"
#include "core/Protocol.h"

namespace unitsim {
namespace {

using kalvo::PutField;
using kalvo::PutText;
using kalvo::ReportField;

// The unit's programmed times, in tenths of a second as the timing block reports them. Each state
// of the start sequence lasts its time; preheating ends when the oil is warm, at the latest after
// its time.
constexpr int MaxPreheatingTenths = 1200;
constexpr int PrePurgeTenths = 300;
constexpr int PreIgnitionTenths = 30;
constexpr int SafetyTimeTenths = 50;
constexpr int PostIgnitionTenths = 20;  // the transformer stays on so long into the stabilisation
constexpr int ValveDelayTenths = 100;   // flame stabilisation on BV 1 before BV 2 opens
constexpr int PostPurgeTenths = 150;
constexpr int FlameFailureResponseTenths = 10;
constexpr int RemoteResetTenths = 15;

constexpr std::int64_t MsPerTenth = 100;
constexpr std::int64_t FlameFailureReactionMs = FlameFailureResponseTenths * MsPerTenth;
constexpr std::int64_t StepMs = 100;  // values and events move on in steps of this size at most
constexpr std::int64_t MsPerMinute = 60'000;
constexpr std::int64_t MsPerHour = 3'600'000;

constexpr double MainsTenths = 2300;
constexpr double DipTenths = 1960;
constexpr double LowVoltageTenths = 2050;
constexpr std::int64_t MeanMsBetweenDips = 15 * MsPerMinute;

constexpr std::uint32_t MaxWord = 0xFFFE;  // 0xFFFF would read as "no value"

std::string_view StatusText(Phase phase)
{
    switch (phase) {
    case Phase::Standby: return "STANDBY";
    case Phase::PrePurge: return "PRE PURGE";
    case Phase::PreIgnition: return "PRE IGNITION";
    case Phase::SafetyTime: return "SAFETY TIME";
    case Phase::Stabilisation: return "STABILISATION";
    case Phase::Run: return "OPERATION";
    case Phase::PostPurge: return "POST PURGE";
    case Phase::Lockout: return "LOCKOUT";
    case Phase::Preheating: return "PREHEATING";
    case Phase::Reset: return "RESET";
    }
    return "";
}

std::uint8_t PhaseOutputs(Phase phase)
{
    using namespace flag;
    switch (phase) {
    case Phase::Standby: return 0;
    case Phase::Preheating: return HeatDemand | Heater;
    case Phase::PrePurge: return HeatDemand | Heater | Motor;
    case Phase::PreIgnition: return HeatDemand | Heater | Motor | Transformer;
    case Phase::SafetyTime: return HeatDemand | Heater | Motor | Transformer | Valve1;
    case Phase::Stabilisation: return HeatDemand | Heater | Motor | Valve1;
    case Phase::Run: return HeatDemand | Heater | Motor | Valve1 | Valve2;
    case Phase::PostPurge: return Motor;
    case Phase::Lockout: return Alarm | HeatDemand;
    case Phase::Reset: return HeatDemand;
    }
    return 0;
}

std::uint32_t Rounded(double value)
{
    return static_cast<std::uint32_t>(std::lround(std::max(0.0, value)));
}

std::uint32_t Tenths(std::int64_t ms)
{
    return static_cast<std::uint32_t>(std::min<std::int64_t>(ms / MsPerTenth, MaxWord));
}

}  // namespace

BurnerModel::BurnerModel(std::uint32_t seed) : rng_(seed)
{
    baseOperatingHours_ = static_cast<std::uint32_t>(RandomInt(1'200, 9'000));
    basePowerOnHours_ = baseOperatingHours_ + static_cast<std::uint32_t>(RandomInt(2'000, 20'000));
    basePowerOnMinutes_ = static_cast<int>(RandomInt(30, 3'000));
    starts_ = static_cast<std::uint32_t>(RandomInt(3'000, 40'000));
    parameterSet_ = static_cast<int>(RandomInt(400, 499));
    baseRunMinutes_ = static_cast<int>(RandomInt(0, basePowerOnMinutes_));

    // An installed unit: a few faults already on record, the rest of the history still empty.
    const int recordCount = static_cast<int>(RandomInt(2, 5));
    std::uint32_t startCount = starts_;
    int minutes = basePowerOnMinutes_;
    for (int i = 0; i < recordCount; ++i) {
        startCount -= static_cast<std::uint32_t>(RandomInt(1, 400));
        minutes = std::max(0, minutes - static_cast<int>(RandomInt(1, 600)));
        const bool lostInRun = RandomInt(0, 2) == 0;
        history_.push_back({lostInRun ? Phase::Run : Phase::SafetyTime, startCount,
                            static_cast<int>(RandomInt(2'270, 2'330)),
                            static_cast<int>(lostInRun ? RandomInt(15, 120) : RandomInt(0, 6)), minutes});
        (lostInRun ? flameLosses_ : ignitionFailures_) += 1;
    }
    ignitionFailures_ += static_cast<std::uint32_t>(RandomInt(0, 12));
    flameLosses_ += static_cast<std::uint32_t>(RandomInt(0, 5));
    lockouts_ = ignitionFailures_ + flameLosses_;
    lockoutResets_ = lockouts_;
    startAttempts_ = starts_ + ignitionFailures_;
    lowVoltageWarnings_ = static_cast<std::uint32_t>(RandomInt(0, 9));

    lastStartSequence_ = PrePurgeTenths + PreIgnitionTenths + SafetyTimeTenths + ValveDelayTenths;
    lastFlamePeriod_ = static_cast<int>(RandomInt(600, 3'000));

    // The technician usually plugs in while the burner fires: start in operation, flame on.
    Enter(Phase::Run);
    flame_ = true;
    flameCurrent_ = flameTarget_;
}

void BurnerModel::Advance(std::chrono::milliseconds elapsed)
{
    for (std::int64_t left = elapsed.count(); left > 0; left -= StepMs)
        Step(std::min(left, StepMs));
}

void BurnerModel::Step(std::int64_t ms)
{
    powerOnMs_ += ms;
    phaseElapsedMs_ += ms;
    if (flame_) {
        burnerRunMs_ += ms;
        flameMs_ += ms;
    }
    UpdateMains(ms);
    UpdateFlameCurrent(ms);
    darkCurrent_ = static_cast<int>(RandomInt(0, 4));

    if (phase_ == Phase::SafetyTime && outcome_ != StartOutcome::NoFlame && !flame_ &&
        phaseElapsedMs_ >= flameAfterMs_) {
        flame_ = true;
        lastTimeToFlame_ = static_cast<int>(Tenths(phaseElapsedMs_));
    }
    if (phase_ == Phase::Run && outcome_ == StartOutcome::FlameLoss && phaseElapsedMs_ >= flameLossAfterMs_) {
        // The flame fails; the unit locks out once the flame current has stayed low for its
        // reaction time, so the error record holds the fading current.
        if (flame_) {
            FlameOut();
        } else if (phaseElapsedMs_ >= flameLossAfterMs_ + FlameFailureReactionMs) {
            ++flameLosses_;
            GoToLockout();
            return;
        }
    }
    if (phaseElapsedMs_ >= phaseLengthMs_)
        EnterAfterPhaseEnd();
}

void BurnerModel::UpdateMains(std::int64_t ms)
{
    if (dipLeftMs_ > 0)
        dipLeftMs_ -= ms;
    else if (RandomInt(0, MeanMsBetweenDips) < ms)
        dipLeftMs_ = RandomInt(2'000, 6'000);
    const double target = dipLeftMs_ > 0 ? DipTenths : MainsTenths;
    voltageTenths_ += (target - voltageTenths_) * std::min(1.0, static_cast<double>(ms) / 800.0) + Noise(4.0);

    const bool low = voltageTenths_ < LowVoltageTenths;
    if (low && !lowVoltage_)
        ++lowVoltageWarnings_;
    lowVoltage_ = low;
}

void BurnerModel::UpdateFlameCurrent(std::int64_t ms)
{
    // The ionisation current builds up over about a second once the flame burns and collapses fast
    // when it goes out.
    const double target = flame_ ? flameTarget_ : 0.0;
    const double timeConstantMs = flame_ ? 800.0 : 150.0;
    flameCurrent_ += (target - flameCurrent_) * std::min(1.0, static_cast<double>(ms) / timeConstantMs);
    if (flame_)
        flameCurrent_ += Noise(1.5);
    flameCurrent_ = std::max(0.0, flameCurrent_);
}

void BurnerModel::EnterAfterPhaseEnd()
{
    switch (phase_) {
    case Phase::Standby: Enter(Phase::Preheating); break;
    case Phase::Preheating:
        Enter(Phase::PrePurge);
        break;
    case Phase::PrePurge: Enter(Phase::PreIgnition); break;
    case Phase::PreIgnition: Enter(Phase::SafetyTime); break;
    case Phase::SafetyTime:
        if (flame_) {
            Enter(Phase::Stabilisation);
        } else {
            ++ignitionFailures_;
            GoToLockout();
        }
        break;
    case Phase::Stabilisation: Enter(Phase::Run); break;
    case Phase::Run:
        Enter(Phase::PostPurge);
        break;
    case Phase::PostPurge: Enter(Phase::Standby); break;
    case Phase::Lockout:
        Enter(Phase::Reset);
        break;
    case Phase::Reset: Enter(Phase::Standby); break;
    }
}

void BurnerModel::Enter(Phase next)
{
    phase_ = next;
    phaseElapsedMs_ = 0;
    switch (next) {
    case Phase::Standby: phaseLengthMs_ = RandomInt(20'000, 60'000); break;
    case Phase::Preheating: phaseLengthMs_ = RandomInt(10'000, 30'000); break;
    case Phase::PrePurge:
        ++startAttempts_;
        startSequenceBeganMs_ = powerOnMs_;
        phaseLengthMs_ = PrePurgeTenths * MsPerTenth;
        break;
    case Phase::PreIgnition: phaseLengthMs_ = PreIgnitionTenths * MsPerTenth; break;
    case Phase::SafetyTime: {
        phaseLengthMs_ = SafetyTimeTenths * MsPerTenth;
        const auto roll = RandomInt(0, 99);
        outcome_ = roll < 12 ? StartOutcome::NoFlame : roll < 18 ? StartOutcome::FlameLoss : StartOutcome::Flame;
        flameAfterMs_ = RandomInt(1'200, 3'500);
        flameTarget_ = static_cast<double>(RandomInt(260, 380));
        break;
    }
    case Phase::Stabilisation:
        ++starts_;  // the flame is proven: a burner start
        phaseLengthMs_ = ValveDelayTenths * MsPerTenth;
        ignitionCurrent_ = static_cast<int>(Rounded(flameCurrent_));
        break;
    case Phase::Run:
        if (startSequenceBeganMs_)
            lastStartSequence_ = static_cast<int>(Tenths(powerOnMs_ - *startSequenceBeganMs_));
        phaseLengthMs_ = RandomInt(60'000, 300'000);
        flameLossAfterMs_ = RandomInt(10'000, phaseLengthMs_ - 1'000);
        break;
    case Phase::PostPurge:
        FlameOut();
        phaseLengthMs_ = PostPurgeTenths * MsPerTenth;
        break;
    case Phase::Lockout:
        FlameOut();
        alarmCurrent_ = static_cast<int>(RandomInt(120, 180));
        phaseLengthMs_ = RandomInt(10'000, 25'000);
        break;
    case Phase::Reset:
        ++lockoutResets_;
        alarmCurrent_ = 0;
        phaseLengthMs_ = RemoteResetTenths * MsPerTenth;
        break;
    }
}

void BurnerModel::FlameOut()
{
    if (flame_)
        lastFlamePeriod_ = static_cast<int>(Tenths(flameMs_));
    flame_ = false;
    flameMs_ = 0;
}

void BurnerModel::GoToLockout()
{
    AddErrorRecord(phase_);
    ++lockouts_;
    Enter(Phase::Lockout);
}

void BurnerModel::AddErrorRecord(Phase faultPhase)
{
    history_.push_front({faultPhase, starts_, static_cast<int>(Rounded(voltageTenths_)),
                         static_cast<int>(Rounded(flameCurrent_)), PowerOnMinutes()});
    if (history_.size() > static_cast<std::size_t>(kalvo::ErrorRecordCount))
        history_.pop_back();
}

std::int64_t BurnerModel::RandomInt(std::int64_t low, std::int64_t high)
{
    return std::uniform_int_distribution<std::int64_t>(low, high)(rng_);
}

double BurnerModel::Noise(double amplitude)
{
    return std::uniform_real_distribution<double>(-amplitude, amplitude)(rng_);
}

std::uint8_t BurnerModel::OutputFlags() const
{
    const bool postIgnition = phase_ == Phase::Stabilisation && phaseElapsedMs_ < PostIgnitionTenths * MsPerTenth;
    return static_cast<std::uint8_t>(
        PhaseOutputs(phase_) | (flame_ ? flag::Flame : 0) | (postIgnition ? flag::Transformer : 0));
}

int BurnerModel::PowerOnMinutes() const
{
    return static_cast<int>(std::min<std::int64_t>(basePowerOnMinutes_ + powerOnMs_ / MsPerMinute, MaxWord));
}

int BurnerModel::BurnerRunMinutes() const
{
    return static_cast<int>(std::min<std::int64_t>(baseRunMinutes_ + burnerRunMs_ / MsPerMinute, MaxWord));
}

Bytes BurnerModel::StatusData() const
{
    Bytes data(kalvo::StatusDataLength, 0);
    data[0] = 0x01;  // unit address
    PutText(data, ReportField("status_text"), StatusText(phase_));
    PutField(data, ReportField("operating_hours"),
        baseOperatingHours_ + static_cast<std::uint32_t>(burnerRunMs_ / MsPerHour));
    PutField(data, ReportField("burner_starts"), starts_);
    PutField(data, ReportField("lockouts"), lockouts_);
    PutField(data, ReportField("sensor_current_1"), static_cast<std::uint32_t>(ignitionCurrent_));
    PutField(data, ReportField("flame_current"), Rounded(flameCurrent_));
    PutField(data, ReportField("sensor_current_3"), static_cast<std::uint32_t>(darkCurrent_));
    PutField(data, ReportField("alarm_current"), static_cast<std::uint32_t>(alarmCurrent_));
    PutField(data, ReportField("mains_voltage"), Rounded(voltageTenths_));
    data[kalvo::StatusFlagBytesAt] = OutputFlags();
    data[kalvo::StatusFlagBytesAt + 1] = static_cast<std::uint8_t>(
        (phase_ == Phase::Reset ? flag::RemoteReset : 0) | (lowVoltage_ ? flag::LowVoltage : 0));
    PutField(data, ReportField("state"), static_cast<std::uint32_t>(phase_));
    PutField(data, ReportField("start_attempts"), startAttempts_);
    PutField(data, ReportField("flame_failures"), flameLosses_);
    PutField(data, ReportField("ignition_failures"), ignitionFailures_);
    PutField(data, ReportField("lockout_resets"), lockoutResets_);
    PutField(data, ReportField("low_voltage_events"), lowVoltageWarnings_);
    return data;
}

Bytes BurnerModel::TimingData() const
{
    // Fields left at zero are times this unit does not use; they read as "no value".
    Bytes data(kalvo::TimingDataLength, 0);
    PutField(data, ReportField("prepurge_time"), PrePurgeTenths);
    PutField(data, ReportField("preignition_time"), PreIgnitionTenths);
    PutField(data, ReportField("safety_time"), SafetyTimeTenths);
    PutField(data, ReportField("postignition_time"), PostIgnitionTenths);
    PutField(data, ReportField("valve_delay"), ValveDelayTenths);
    PutField(data, ReportField("burner_run_time"), static_cast<std::uint32_t>(BurnerRunMinutes()));
    PutField(data, ReportField("postpurge_time"), PostPurgeTenths);
    PutField(data, ReportField("preheating_time"), MaxPreheatingTenths);
    PutField(data, ReportField("flame_detection_time"), static_cast<std::uint32_t>(lastTimeToFlame_));
    PutField(data, ReportField("flame_failure_response_time"), FlameFailureResponseTenths);
    PutField(data, ReportField("remote_reset_delay"), RemoteResetTenths);
    PutField(data, ReportField("last_start_sequence"), static_cast<std::uint32_t>(lastStartSequence_));
    PutField(data, ReportField("last_flame_period"), static_cast<std::uint32_t>(lastFlamePeriod_));
    PutField(data, ReportField("sequence_counter"), static_cast<std::uint32_t>(parameterSet_));
    return data;
}

Bytes BurnerModel::ErrorHistoryData() const
{
    using kalvo::ErrorRecordValueFields;
    Bytes data(kalvo::ErrorHistoryDataLength, kalvo::EmptyRecordCode);
    for (std::size_t i = 0; i < history_.size(); ++i) {
        const ErrorRecord& record = history_[i];
        const auto bytes = std::span(data).subspan(i * kalvo::ErrorRecordSize, kalvo::ErrorRecordSize);
        std::fill(bytes.begin(), bytes.end(), 0x00);
        bytes[kalvo::ErrorRecordStateAt] = static_cast<std::uint8_t>(record.phase);
        const std::uint32_t values[] = {record.startCount, static_cast<std::uint32_t>(record.voltageTenths),
            static_cast<std::uint32_t>(record.currentTenths), static_cast<std::uint32_t>(record.minutes)};
        static_assert(std::size(values) == ErrorRecordValueFields.size());
        for (std::size_t k = 0; k < ErrorRecordValueFields.size(); ++k)
            PutField(bytes, ErrorRecordValueFields[k], values[k]);
    }
    return data;
}

Bytes BurnerModel::DataFor(std::uint8_t requestCode) const
{
    switch (requestCode) {
    case kalvo::StatusRequest: return StatusData();
    case kalvo::TimingRequest: return TimingData();
    case kalvo::ErrorHistoryRequest: return ErrorHistoryData();
    default: return {};
    }
}

}  // namespace unitsim
