#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/SerialLine.h"
#include "core/posix/PortMap.h"

// Serial ports on termios (Linux, macOS).
namespace kalvo::posix {

// False only when the driver reports the node's UART slot as empty (PORT_UNKNOWN); a driver that
// does not answer the question is taken to have a UART.
bool HasUart(int fd);

using UartCheck = std::function<bool(int fd)>;

class PosixSerialPort final : public SerialPort {
public:
    // Like the Windows input queue the port was sized with: input beyond it waits in the kernel.
    static constexpr std::size_t InputQueueSize = 4096;

    // Takes over an open, exclusively held descriptor.
    explicit PosixSerialPort(int fd);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    void Configure() override;
    void Purge() override;
    std::size_t Write(const std::uint8_t* data, std::size_t count) override;
    std::size_t BytesWaiting() override;
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    void WaitForInput(std::size_t seen, std::chrono::milliseconds limit) override;
    bool DeviceGone() const override { return gone_; }

private:
    void ApplyLineSettings();
    void ClearModemLines();
    // Moves what the kernel holds into the input queue, as far as the queue has room.
    void PullKernelInput();
    void NoteFailure(int error);
    void MarkGone();

    int fd_;
    bool gone_ = false;
    std::vector<std::uint8_t> input_;
};

class PosixSerialSystem final : public SerialSystem {
public:
    explicit PosixSerialSystem(PortMap ports, UartCheck hasUart = HasUart);

    OpenOutcome Open(int portNumber) override;
    // Reads the port map once for the whole search.
    std::unique_ptr<PortOpener> StartSearch() override;
    std::uint32_t TickCount() override;

private:
    PortMap ports_;
    UartCheck hasUart_;
};

}  // namespace kalvo::posix
