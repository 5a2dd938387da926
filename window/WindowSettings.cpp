#include "window/WindowSettings.h"

#include "core/Settings.h"

namespace kalvo {

namespace {

constexpr char SettingsSection[] = "Main";
constexpr char PortKey[] = "COM";
constexpr char PanelKey[] = "Panel";

}  // namespace

ProgramFiles ProgramFilesFor(const std::string& executablePath)
{
#ifdef _WIN32
    constexpr const char* PathSeparators = "\\/";
#else
    constexpr const char* PathSeparators = "/";
#endif
    const std::size_t lastSeparator = executablePath.find_last_of(PathSeparators);
    const std::string folder =
        lastSeparator == std::string::npos ? std::string() : executablePath.substr(0, lastSeparator + 1);
    return {folder + "MY.LNG", SettingsPathFor(executablePath)};
}

WindowSettings ReadWindowSettings(const std::string& settingsFile, const WindowSettings& defaults)
{
    return {ReadIniInteger(settingsFile, SettingsSection, PortKey, defaults.portNumber),
        ReadIniInteger(settingsFile, SettingsSection, PanelKey, defaults.panel)};
}

void WriteWindowSettings(const std::string& settingsFile, const WindowSettings& settings)
{
    WriteIniInteger(settingsFile, SettingsSection, PortKey, settings.portNumber);
    WriteIniInteger(settingsFile, SettingsSection, PanelKey, settings.panel);
}

}  // namespace kalvo
