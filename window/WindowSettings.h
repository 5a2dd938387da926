#pragma once

#include <string>

// The files the program reads and writes beside its executable, and what the main window keeps
// in its settings file between runs.
namespace kalvo {

struct ProgramFiles {
    std::string languageFile;  // the executable's folder, its trailing separator, then "MY.LNG"
    std::string settingsFile;  // the executable's path with the extension ".ini"
};

ProgramFiles ProgramFilesFor(const std::string& executablePath);

// Section "Main": the port number ("COM") and the page shown at the end ("Panel").
struct WindowSettings {
    int portNumber;
    int panel;
};

// Missing or unreadable values give the defaults.
WindowSettings ReadWindowSettings(const std::string& settingsFile, const WindowSettings& defaults);
// Throws when the file cannot be written.
void WriteWindowSettings(const std::string& settingsFile, const WindowSettings& settings);

}  // namespace kalvo
