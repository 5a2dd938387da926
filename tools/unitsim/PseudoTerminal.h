#pragma once

#include <string>

namespace unitsim {

// The unit's end of a pseudo-terminal whose other end (the slave) plays the serial port. A slave
// descriptor stays open for the terminal's whole life, so the master never reports a hang-up
// while the port is closed and reopened, and the slave is held in raw mode.
class PseudoTerminal {
public:
    // Throws std::system_error when no terminal can be set up.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

    // Descriptor that turns readable when a program closes the slave; -1 where the system cannot
    // tell. Call SlaveClosed() then.
    int CloseWatchFd() const { return closeWatch_; }
    void SlaveClosed();

private:
    int master_ = -1;
    int keptSlave_ = -1;
    int closeWatch_ = -1;
    std::string slavePath_;
};

}  // namespace unitsim
