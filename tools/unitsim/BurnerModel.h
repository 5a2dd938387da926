#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>

#include "core/Readings.h"
#include "tools/unitsim/Bytes.h"

namespace unitsim {

// The unit's state codes (status byte 40, and byte 0 of an error record).
enum class Phase : std::uint8_t {
    Standby = 0,
    PrePurge = 1,
    PreIgnition = 2,
    SafetyTime = 3,
    Stabilisation = 4,
    Run = 5,
    PostPurge = 6,
    Lockout = 7,
    Preheating = 8,
    Reset = 12,
};

// Bits of status byte 37 and byte 38, from the program's own list of the flags; the model gives
// the on/off flag and flags 8 and 9 the meaning they have in its burner sequence.
namespace flag {
inline constexpr std::uint8_t Alarm = kalvo::StatusFlagMask(kalvo::AlarmFlag);
inline constexpr std::uint8_t Flame = kalvo::StatusFlagMask(kalvo::FlameFlag);
inline constexpr std::uint8_t Valve2 = kalvo::StatusFlagMask(kalvo::FuelValve2Flag);
inline constexpr std::uint8_t Valve1 = kalvo::StatusFlagMask(kalvo::FuelValve1Flag);
inline constexpr std::uint8_t Transformer = kalvo::StatusFlagMask(kalvo::IgnitionTransformerFlag);
inline constexpr std::uint8_t Heater = kalvo::StatusFlagMask(kalvo::HeaterFlag);
inline constexpr std::uint8_t Motor = kalvo::StatusFlagMask(kalvo::FanMotorFlag);
inline constexpr std::uint8_t HeatDemand = kalvo::StatusFlagMask(kalvo::OnOffFlag);
// byte 38
inline constexpr std::uint8_t RemoteReset = kalvo::StatusFlagMask(kalvo::StatusFlag8);
inline constexpr std::uint8_t LowVoltage = kalvo::StatusFlagMask(kalvo::StatusFlag9);
}  // namespace flag

// A simulated Ombrel RZ: a burner sequence with its outputs, measured values, counters and error
// history, advanced by the caller in real or simulated time. The same seed gives the same run.
class BurnerModel {
public:
    explicit BurnerModel(std::uint32_t seed);

    void Advance(std::chrono::milliseconds elapsed);

    Bytes StatusData() const;        // 51 bytes
    Bytes TimingData() const;        // 38 bytes
    Bytes ErrorHistoryData() const;  // 128 bytes, eight records of 16, newest first
    // The data block that answers a request code; empty for a code the unit does not know.
    Bytes DataFor(std::uint8_t requestCode) const;

private:
    enum class StartOutcome { Flame, NoFlame, FlameLoss };

    struct ErrorRecord {
        Phase phase;
        std::uint32_t startCount;
        int voltageTenths;
        int currentTenths;
        int minutes;
    };

    void Step(std::int64_t ms);
    void UpdateMains(std::int64_t ms);
    void UpdateFlameCurrent(std::int64_t ms);
    void Enter(Phase next);
    void EnterAfterPhaseEnd();
    void FlameOut();
    void GoToLockout();
    void AddErrorRecord(Phase faultPhase);
    std::int64_t RandomInt(std::int64_t low, std::int64_t high);
    double Noise(double amplitude);
    std::uint8_t OutputFlags() const;
    int PowerOnMinutes() const;
    int BurnerRunMinutes() const;

    std::mt19937 rng_;

    Phase phase_ = Phase::Standby;
    std::int64_t phaseElapsedMs_ = 0;
    std::int64_t phaseLengthMs_ = 0;

    StartOutcome outcome_ = StartOutcome::Flame;
    std::int64_t flameAfterMs_ = 0;     // into the safety time
    std::int64_t flameLossAfterMs_ = 0; // into the run, when the flame fails
    bool flame_ = false;

    double voltageTenths_ = 2300;
    std::int64_t dipLeftMs_ = 0;
    double flameCurrent_ = 0;      // tenths of a microampere
    double flameTarget_ = 300;
    int ignitionCurrent_ = 0;      // flame current at the end of the last safety time
    int darkCurrent_ = 2;
    int alarmCurrent_ = 0;

    std::int64_t powerOnMs_ = 0;
    std::int64_t burnerRunMs_ = 0;
    std::uint32_t baseOperatingHours_ = 0;
    std::uint32_t basePowerOnHours_ = 0;
    int basePowerOnMinutes_ = 0;
    int baseRunMinutes_ = 0;
    std::int64_t flameMs_ = 0;                          // of the flame burning now
    std::optional<std::int64_t> startSequenceBeganMs_;  // power-on time of the last prepurge

    // The counters of the status block, as the unit counts them.
    std::uint32_t starts_ = 0;         // starts that reached a proven flame
    std::uint32_t startAttempts_ = 0;  // start sequences begun (prepurges)
    std::uint32_t lockouts_ = 0;
    std::uint32_t lockoutResets_ = 0;
    std::uint32_t ignitionFailures_ = 0;  // no flame by the end of the safety time
    std::uint32_t flameLosses_ = 0;       // the flame lost in operation
    std::uint32_t lowVoltageWarnings_ = 0;
    bool lowVoltage_ = false;

    // Measured times, tenths of a second.
    int lastTimeToFlame_ = 0;    // into the safety time, at each start
    int lastStartSequence_ = 0;  // from the prepurge to operation
    int lastFlamePeriod_ = 0;    // from the flame's appearance to its end
    int parameterSet_ = 0;

    std::deque<ErrorRecord> history_;  // newest first, at most eight
};

}  // namespace unitsim
