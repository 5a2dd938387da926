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
    // Blocks until input arrives or the limit passes, whichever comes first. Keeps the reply
    // wait from spinning a core while the unit is silent.
    virtual void WaitForInput(std::chrono::milliseconds limit) = 0;
    // True once the system has reported the device gone (hang-up, unplugged adapter).
    virtual bool DeviceGone() const = 0;
};

struct OpenOutcome {
    std::unique_ptr<SerialPort> port;  // null when the port is absent or held by another program
    bool accessDenied = false;         // the device exists but the user may not open it
};

// Opens ports by COM number and provides the millisecond tick count that reply waits measure.
class SerialSystem {
public:
    virtual ~SerialSystem() = default;

    // Opens exclusively, without configuring; any number is tried, even outside 1..255.
    virtual OpenOutcome Open(int portNumber) = 0;
    // Milliseconds since an arbitrary start; differences are taken unsigned, so a wrap does no harm.
    virtual std::uint32_t TickCount() = 0;
    // Lets the limit pass without a port to wait on, so a reply wait whose port was closed or
    // lost under it does not spin a core either.
    virtual void Pause(std::chrono::milliseconds limit) { std::this_thread::sleep_for(limit); }
};

// The serial system of the platform the program runs on.
std::unique_ptr<SerialSystem> MakePlatformSerialSystem(const std::string& settingsPath);

}  // namespace kalvo
