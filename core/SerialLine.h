#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace kalvo {

// One open serial port. The read cycle needs no more than these operations; each platform
// (Win32, termios) and the scripted test fake provide them.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Applies the unit's line (9600 baud, 8 data bits, no parity, 2 stop bits, no flow control,
    // DTR and RTS inactive), the read and write time-outs and the queue sizes, then purges.
    virtual void Configure() = 0;
    // Discards pending input and output.
    virtual void Purge() = 0;
    // Sends the bytes; returns how many went out before the total write time-out
    // (300 ms per byte plus 100 ms) passed.
    virtual std::size_t Write(const std::uint8_t* data, std::size_t count) = 0;
    // Received bytes waiting in the input queue.
    virtual std::size_t BytesWaiting() = 0;
    // Takes up to count bytes that are already waiting; never blocks.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t count) = 0;
    // Blocks until more than seen bytes are waiting (seen: the caller's last BytesWaiting) or the
    // limit passes, whichever comes first; returns at once when more are waiting already, so a
    // reply that completes between the caller's sample and this call is not slept through. Keeps
    // the reply wait from spinning a core while the unit is silent.
    virtual void WaitForInput(std::size_t seen, std::chrono::milliseconds limit) = 0;
    // True once the system has reported the device gone (hang-up, unplugged adapter).
    virtual bool DeviceGone() const = 0;
};

struct OpenOutcome {
    std::unique_ptr<SerialPort> port;  // null when the port is absent or held by another program
    bool accessDenied = false;         // the device exists but the user may not open it
    bool inUse = false;                // the device exists but another program holds it
};

// Opens ports by COM number.
class PortOpener {
public:
    virtual ~PortOpener() = default;

    // Opens exclusively, without configuring; any number is tried, even outside 1..255.
    virtual OpenOutcome Open(int portNumber) = 0;
};

// Opens ports by COM number and provides the millisecond tick count that reply waits measure.
class SerialSystem : public PortOpener {
public:
    // Opens ports for one search over many numbers (the port dialog's). A system that has to look
    // up where a number leads (files, device lists) does that once here instead of once per
    // number, so the search sees the ports as they were when it started. It must not outlive
    // this system.
    virtual std::unique_ptr<PortOpener> StartSearch();
    // Milliseconds since an arbitrary start; differences are taken unsigned, so a wrap does no harm.
    virtual std::uint32_t TickCount() = 0;
    // Lets the limit pass without a port to wait on, so a reply wait whose port was closed or
    // lost under it does not spin a core either.
    virtual void Pause(std::chrono::milliseconds limit) { std::this_thread::sleep_for(limit); }
};

// A search that simply asks the system for each number.
class SystemSearch final : public PortOpener {
public:
    explicit SystemSearch(SerialSystem& system) : system_(system) {}
    OpenOutcome Open(int portNumber) override { return system_.Open(portNumber); }

private:
    SerialSystem& system_;
};

inline std::unique_ptr<PortOpener> SerialSystem::StartSearch()
{
    return std::make_unique<SystemSearch>(*this);
}

// The serial system of the platform the program runs on.
std::unique_ptr<SerialSystem> MakePlatformSerialSystem(const std::string& settingsPath);
#ifndef _WIN32
// The same, with portNumber leading to the device path (a /dev/serial/by-id/... link, /dev/ttyUSB0),
// looked up afresh at each open like every other port, so a device that appears later is found.
std::unique_ptr<SerialSystem> MakeDeviceSerialSystem(
    const std::string& settingsPath, int portNumber, const std::string& devicePath);
#endif

}  // namespace kalvo
