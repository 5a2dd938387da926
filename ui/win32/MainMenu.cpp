#include "ui/win32/MainMenu.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ui/win32/ControlIds.h"
#include "ui/win32/Win32Text.h"

namespace kalvo::win32 {

HMENU BuildMainMenu()
{
    HMENU bar = CreateMenu();
    std::vector<std::string> menuNames;
    std::vector<HMENU> menus;
    for (std::size_t i = 0; i < MainMenu1.size(); ++i) {
        const MenuItem& item = MainMenu1[i];
        const auto known = std::find(menuNames.begin(), menuNames.end(), item.menuName);
        HMENU menu = nullptr;
        if (known == menuNames.end()) {
            menu = CreatePopupMenu();
            AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu), Widen(item.menuCaption).c_str());
            menuNames.emplace_back(item.menuName);
            menus.push_back(menu);
        } else {
            menu = menus[static_cast<std::size_t>(known - menuNames.begin())];
        }
        AppendMenuW(menu, MF_STRING, IdMenuCommandBase + i, Widen(item.caption).c_str());
    }
    return bar;
}

std::optional<MenuCommand> MenuCommandOf(int id)
{
    if (id < IdMenuCommandBase || id >= IdMenuCommandBase + static_cast<int>(MainMenu1.size()))
        return std::nullopt;
    return MainMenu1[static_cast<std::size_t>(id - IdMenuCommandBase)].command;
}

void SetMenuCommandChecked(HWND window, MenuCommand command, bool checked)
{
    const auto item = std::find_if(
        MainMenu1.begin(), MainMenu1.end(), [command](const MenuItem& entry) { return entry.command == command; });
    if (item != MainMenu1.end())
        CheckMenuItem(GetMenu(window), static_cast<UINT>(IdMenuCommandBase + (item - MainMenu1.begin())),
            MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace kalvo::win32
