#pragma once

#include <string_view>

#include "window/FormLayout.h"

// The ids the Win32 face gives the controls of its two windows. The test driver finds a control by
// its name through ControlIdOf, so the face and its tests share one table.
namespace kalvo::win32 {

inline constexpr int IdTabSheetBase = 200;       // TabSheet1 .. TabSheet10
inline constexpr int IdMemoBase = 300;           // Memo1 .. Memo10
inline constexpr int IdLabelBase = 400;          // Label1 .. Label6
inline constexpr int IdComponentImageBase = 500;  // ComponentImage in its order: ImageHeizung .. ImageVentil2
inline constexpr int IdBitBtnBase = 600;         // BitBtn1 .. BitBtn3
inline constexpr int IdImageMain = 510;
inline constexpr int IdImage1 = 511;
inline constexpr int IdImage2 = 512;
inline constexpr int IdPageControl1 = 651;
inline constexpr int IdPageControl2 = 652;
inline constexpr int IdCheckListBox1 = 653;
inline constexpr int IdStatusBar1 = 654;
// The port dialog. Button1 is the dialog's OK button, so Enter presses it.
inline constexpr int IdButton1 = 1;
inline constexpr int IdComboBox1 = 701;
inline constexpr int IdDialogLabel1 = 702;
inline constexpr int IdAccessNote = 703;
// Commands of the main menu: the base plus the item's index in MainMenu1.
inline constexpr int IdMenuCommandBase = 900;

constexpr int IdTabSheet(int n) { return IdTabSheetBase + n; }
constexpr int IdMemo(int n) { return IdMemoBase + n; }
constexpr int IdLabel(int n) { return IdLabelBase + n; }
constexpr int IdBitBtn(int n) { return IdBitBtnBase + n; }

namespace detail {
struct NumberedName {
    std::string_view prefix;
    int base;
    int first;
    int last;
};
struct FixedName {
    std::string_view name;
    int id;
};
inline constexpr NumberedName NumberedNames[] = {
    {"TabSheet", IdTabSheetBase, 1, 10}, {"Memo", IdMemoBase, 1, 10}, {"Label", IdLabelBase, 1, 6},
    {"BitBtn", IdBitBtnBase, 1, 3},
};
inline constexpr FixedName FixedNames[] = {
    {"ImageMain", IdImageMain},       {"Image1", IdImage1},
    {"Image2", IdImage2},             {"PageControl1", IdPageControl1},
    {"PageControl2", IdPageControl2}, {"CheckListBox1", IdCheckListBox1},
    {"StatusBar1", IdStatusBar1},     {"Button1", IdButton1},
    {"ComboBox1", IdComboBox1},       {"AccessNote", IdAccessNote},
};
}  // namespace detail

// The id of the control with this name, or 0 for none. "Label1" is the main window's; the port
// dialog's own Label1 is "DialogLabel1".
constexpr int ControlIdOf(std::string_view name)
{
    if (name == "DialogLabel1")
        return IdDialogLabel1;
    for (const auto& fixed : detail::FixedNames) {
        if (fixed.name == name)
            return fixed.id;
    }
    for (int i = 0; i < layout::ComponentImageCount; ++i) {
        if (layout::ImageName(static_cast<layout::ComponentImage>(i)) == name)
            return IdComponentImageBase + i;
    }
    for (const auto& numbered : detail::NumberedNames) {
        if (!name.starts_with(numbered.prefix) || name.size() == numbered.prefix.size())
            continue;
        int number = 0;
        for (const char digit : name.substr(numbered.prefix.size())) {
            if (digit < '0' || digit > '9')
                return 0;
            number = number * 10 + (digit - '0');
        }
        return number >= numbered.first && number <= numbered.last ? numbered.base + number : 0;
    }
    return 0;
}

}  // namespace kalvo::win32
