#include "core/posix/PortMap.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/Settings.h"

namespace kalvo::posix {

namespace {

struct DeviceFamily {
    const char* prefix;
    bool needsUartCheck;
};

// Wine's order: on-board UARTs first, then USB adapters, then USB modems (CDC ACM).
constexpr DeviceFamily WineFamilies[] = {
    {"ttyS", true},
    {"ttyUSB", false},
    {"ttyACM", false},
};

std::optional<int> ComKeyNumber(const std::string& key)
{
    if (key.size() <= 3)
        return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(key[i])) != "COM"[i])
            return std::nullopt;
    }
    int number = 0;
    const char* first = key.data() + 3;
    const char* last = key.data() + key.size();
    auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return number;
}

}  // namespace

std::vector<PortDevice> ListSerialDevices(const std::string& devRoot)
{
    std::vector<PortDevice> devices;
    for (const DeviceFamily& family : WineFamilies) {
        for (int index = 0;; ++index) {
            std::string path = (std::filesystem::path(devRoot) / (family.prefix + std::to_string(index))).string();
            std::error_code ignored;
            // exists() follows links, so a dangling link ends the family like a missing node.
            if (!std::filesystem::exists(path, ignored))
                break;
            devices.push_back({std::move(path), family.needsUartCheck});
        }
    }
    return devices;
}

std::map<int, std::string> ParsePortOverrides(const std::map<std::string, std::string>& entries)
{
    std::map<int, std::string> overrides;
    for (const auto& [key, path] : entries) {
        std::optional<int> number = ComKeyNumber(key);
        if (number && !path.empty())
            overrides.emplace(*number, path);
    }
    return overrides;
}

std::map<int, PortDevice> AssignComNumbers(const std::vector<PortDevice>& devices,
                                           const std::map<int, std::string>& overrides)
{
    std::map<int, PortDevice> ports;
    for (const auto& [number, path] : overrides)
        ports.emplace(number, PortDevice{path, false});
    int next = 1;
    for (const PortDevice& device : devices) {
        while (overrides.contains(next))
            ++next;
        ports.emplace(next++, device);
    }
    return ports;
}

PortMap::PortMap(std::string devRoot, std::string settingsPath, std::map<int, std::string> pinned)
    : devRoot_(std::move(devRoot)), settingsPath_(std::move(settingsPath)), pinned_(std::move(pinned))
{
}

std::map<int, PortDevice> PortMap::Ports() const
{
    std::map<int, std::string> overrides = ParsePortOverrides(ReadIniSection(settingsPath_, "Ports"));
    for (const auto& [number, path] : pinned_)
        overrides[number] = path;
    return AssignComNumbers(ListSerialDevices(devRoot_), overrides);
}

std::optional<PortDevice> PortMap::Resolve(int portNumber) const
{
    const std::map<int, PortDevice> ports = Ports();
    if (auto assigned = ports.find(portNumber); assigned != ports.end())
        return assigned->second;
    return std::nullopt;
}

}  // namespace kalvo::posix
