#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/SerialLine.h"

// Serial ports through the Windows communications API (kernel32).
namespace kalvo::win32 {

class Win32SerialPort final : public SerialPort {
public:
    // Takes over an open port handle (a HANDLE; kept as void* so that this header needs no
    // <windows.h>).
    explicit Win32SerialPort(void* handle);
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    void Configure() override;
    void Purge() override;
    std::size_t Write(const std::uint8_t* data, std::size_t count) override;
    std::size_t BytesWaiting() override;
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    void WaitForInput(std::size_t seen, std::chrono::milliseconds limit) override;
    bool DeviceGone() const override { return gone_; }

private:
    void ApplyLineSettings();
    void NoteFailure(unsigned long error);
    std::size_t QueuedInDriver();
    std::size_t ReadFromDriver(std::uint8_t* buffer, std::size_t count);

    void* handle_;
    bool gone_ = false;
    // Bytes a wait took from the driver to learn that input came; they are read before the driver's.
    std::vector<std::uint8_t> held_;
};

class Win32SerialSystem final : public SerialSystem {
public:
    OpenOutcome Open(int portNumber) override;
    std::uint32_t TickCount() override;
};

}  // namespace kalvo::win32
