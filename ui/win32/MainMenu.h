#pragma once

#include <windows.h>

#include <optional>

#include "window/MainView.h"

// The main window's menu bar MainMenu1, built from the layer's list; each item's command id is
// IdMenuCommandBase plus its index in the list.
namespace kalvo::win32 {

HMENU BuildMainMenu();
// The command of a menu item's id, or nothing for another id.
std::optional<MenuCommand> MenuCommandOf(int id);
void SetMenuCommandChecked(HWND window, MenuCommand command, bool checked);

}  // namespace kalvo::win32
