#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Language.h"
#include "core/SerialLine.h"
#include "core/WindowLink.h"

// The soak: Kalvo's polling run for thousands of cycles against a unit that misbehaves at random,
// checking the bounds every cycle must keep.
namespace soak {

// A reply wait ends at its first look at the queue after 1000 ms, at most one 10 ms input slice
// late; a cycle holds three of them.
inline constexpr std::uint32_t CycleLimitMs = 3 * (1000 + 10);

// What a run of polls came to.
struct RunResult {
    int cycles = 0;
    int cyclesWithData = 0;
    int hangUps = 0;   // the unit's line went away
    int reopens = 0;   // the lost port was opened again
    std::uint32_t slowestMs = 0;
    std::uint32_t limitMs = 0;
    int brokenBounds = 0;
    std::vector<std::string> violations;  // the first few broken bounds, described

    void Violation(int cycle, const std::string& what);
};

// The main window as the device link sees it; the soak keeps no history, so memory use shows
// what Kalvo itself holds.
class SoakWindow : public kalvo::WindowLink {
public:
    void SetPanelText(int panel, const std::string& text) override;
    void RepaintStatusBar() override {}
    void ProcessPendingMessages() override;
    void ClearReadings() override {}

    const std::string& TransferText() const { return transferText_; }
    // Runs at every message pass, where the user's actions would run during a reply wait.
    std::function<void()> onMessages;

private:
    std::string transferText_;
};

// Passes everything to the real serial system and counts the ports that opened, so that the
// soak sees when Kalvo opens a lost port again.
class CountingSerialSystem : public kalvo::SerialSystem {
public:
    explicit CountingSerialSystem(kalvo::SerialSystem& inner) : inner_(inner) {}

    kalvo::OpenOutcome Open(int portNumber) override;
    std::uint32_t TickCount() override { return inner_.TickCount(); }
    void Pause(std::chrono::milliseconds limit) override { inner_.Pause(limit); }

    int Opens() const { return opens_; }

private:
    kalvo::SerialSystem& inner_;
    int opens_ = 0;
};

// Checks that Kalvo opens a lost port again within two polls of the device coming back.
class ReopenWatch {
public:
    // The device is back (the adapter plugged in again).
    void DeviceCameBack();
    // After each poll, with whether Kalvo holds a live port and how many it has opened so far;
    // false when the second poll after the comeback ended without the port opened again.
    bool PollDone(bool portOpen, int opensSoFar);

private:
    bool lost_ = false;
    int opensAtLoss_ = 0;
    bool cameBack_ = false;
    int pollsSinceComeback_ = 0;
};

// True while Kalvo holds a port that has not gone away.
bool PortIsLive();

// One poll as the main window runs it: the read cycle, the decoding, the report and the eight
// error records. True when the cycle brought data.
bool Poll(const kalvo::LanguageLines& language, const SoakWindow& window);

// The device link and the scripted fake line in simulated time, the unit played by the burner
// model with random misbehaviour, hang-ups and reappearances included.
RunResult RunOnFakeLine(int cycles, std::uint32_t seed, const kalvo::LanguageLines& language);

// The POSIX serial system on a pseudo-terminal, the unit played by the unitsim program in its
// random mode; polls are gap apart in real time.
RunResult RunOnPseudoTerminal(int cycles, const std::string& unitsimProgram, std::uint32_t seed,
                              std::chrono::milliseconds gap, const kalvo::LanguageLines& language);

}  // namespace soak
