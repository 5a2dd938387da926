#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "window/MainView.h"

// The system's services that the main window's view hands on: boxes, the save dialog, the
// clipboard, the regional formats and the message loop.
namespace kalvo::win32 {

void ShowErrorBox(HWND owner, const std::string& title, const std::string& text);

// The common save dialog; remembers nothing itself (the question carries the previous choice).
std::optional<std::string> AskSaveFileName(HWND owner, const SaveFileQuestion& question);

// The system's folder question, opening at the initial folder when one is given.
std::optional<std::string> AskFolder(HWND owner, const std::string& title, const std::string& initialFolder);

// Plain text as CF_TEXT with the locale of Windows-1252, so the bytes are the ones given.
void SetClipboardText(HWND owner, const std::string& text);

RegionalDateTime CurrentRegionalDateTime();

// Sees each message before it is translated and dispatched; true when it has used it.
using KeyHandler = std::function<bool(const MSG&)>;

// Dispatches every pending message and returns; a WM_QUIT found on the way goes back into the
// queue for the main loop.
void ProcessPendingMessages(const KeyHandler& keys);

// The main message loop: runs until WM_QUIT and returns its exit code.
int RunMessageLoop(const KeyHandler& keys);

// Decodes the JPEG held in the RCDATA resource by the system's picture loader; null when it fails.
HBITMAP LoadJpegResource(HINSTANCE instance, const wchar_t* name);

}  // namespace kalvo::win32
