#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalvo::test {

// A pseudo-terminal pair standing in for a serial device: the program opens the slave path like a
// port, the test plays the device on the master side.
class Pty {
public:
    // Opens the master and one raw slave descriptor that stays open, so the pair lives on while
    // the program closes and reopens its port. Throws std::runtime_error when that fails.
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    // The helper's own slave descriptor, for reading back line settings.
    int SlaveFd() const { return slave_; }

    // The device sends: writes all bytes to the master or throws.
    void Send(const std::vector<std::uint8_t>& bytes);
    void Send(std::size_t count, std::uint8_t value);
    // The device receives: reads from the master until count bytes came or the limit passed.
    std::vector<std::uint8_t> Receive(std::size_t count, std::chrono::milliseconds limit);
    // From now on the device takes no more bytes: output towards it is suspended, so the port's
    // writes find no room, as with a device that stopped reading.
    void StopTakingBytes();
    // Closes the master, as when a USB adapter is pulled.
    void HangUp();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace kalvo::test
