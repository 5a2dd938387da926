#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kalvo::win32 {

// CheckListBox1: a list box whose items carry a check box each. It draws its items itself and
// keeps each item's mark in the item's data (1 = checked), where other programs can read it too.
// Disabled, it shows greyed on the button face's ground and takes no clicks or keys, so no mark
// can change by hand.
class CheckList {
public:
    // The bounds and item height at the window's density, given in dots per inch for the check box.
    CheckList(HWND parent, int id, RECT bounds, int itemHeight, int dpi);

    HWND Handle() const { return list_; }
    void SetItems(const std::vector<std::wstring>& items);
    void SetMark(int item, bool checked);
    void SetEnabled(bool enabled);
    // The item height at the window's density, and that density for the check box.
    void SetScale(int itemHeight, int dpi);

    // The parent passes its WM_DRAWITEM for this list here, and answers its WM_CTLCOLORLISTBOX
    // with the ground.
    void DrawItem(const DRAWITEMSTRUCT& item) const;
    HBRUSH Ground() const;

private:
    HWND list_;
    int boxSize_ = 0;
    int boxGap_ = 0;
};

}  // namespace kalvo::win32
