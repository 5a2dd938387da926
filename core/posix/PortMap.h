#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// Where a COM number leads on a system that names its serial ports after device nodes.
namespace kalvo::posix {

// The device node behind one COM number.
struct PortDevice {
    std::string path;
    // A ttyS node exists for every slot the serial driver reserves, also where no UART is fitted;
    // such a node keeps its number but must be checked before it counts as a port.
    bool needsUartCheck = false;

    bool operator==(const PortDevice&) const = default;
};

// The serial device nodes under devRoot in the order Wine numbers them: ttyS, then ttyUSB, then
// ttyACM, each family counted from 0 up to its first missing node.
std::vector<PortDevice> ListSerialDevices(const std::string& devRoot);

// The COM<n>=<device path> entries of the settings file's "Ports" section, by number. Keys that
// are not "COM" and a number, and empty paths, are ignored.
std::map<int, std::string> ParsePortOverrides(const std::map<std::string, std::string>& entries);

// Overrides keep their numbers; the listed devices take the remaining numbers from COM1 up, in
// list order, so a device keeps the number the Windows build gives it under Wine.
std::map<int, PortDevice> AssignComNumbers(const std::vector<PortDevice>& devices,
                                           const std::map<int, std::string>& overrides);

// Resolves COM numbers against a device tree and a settings file. Both are read afresh at each
// call, so an adapter plugged in or a settings entry rewritten while the program runs counts.
// pinned: numbers that lead to a device path whatever the settings say (a device given by path
// on a command line).
class PortMap {
public:
    PortMap(std::string devRoot, std::string settingsPath, std::map<int, std::string> pinned = {});

    std::optional<PortDevice> Resolve(int portNumber) const;
    // Every COM number that leads somewhere right now.
    std::map<int, PortDevice> Ports() const;

private:
    std::string devRoot_;
    std::string settingsPath_;
    std::map<int, std::string> pinned_;
};

}  // namespace kalvo::posix
