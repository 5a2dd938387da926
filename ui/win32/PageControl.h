#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kalvo::win32 {

// A tab control with one page window per tab (TPageControl with its TTabSheets). The pages are
// children of the tab control, stand where the layout puts them below the tab row, and pass the
// commands and notifications of their controls on to the top-level window. Only the active page
// shows.
class PageControl {
public:
    PageControl(HWND parent, int id, RECT bounds, HFONT font);

    static void RegisterPageClass(HINSTANCE instance);

    // Adds a page with this id and caption at its bounds in the tab control; returns its window.
    HWND AddPage(int id, const std::wstring& caption, RECT bounds);
    // Makes the tabs as tall as the pages' top leaves room for, so that the tab row's frame meets
    // the pages at every density and font.
    void FitTabRow(int pageTop) const;
    void SetCaption(int index, const std::wstring& caption);
    void SetActive(int index);
    int Active() const;
    // The top-level window passes TCN_SELCHANGE of this control here.
    void SelectionChanged();

private:
    HWND tabs_;
    std::vector<HWND> pages_;
};

}  // namespace kalvo::win32
