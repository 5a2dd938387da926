#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kalvo::win32 {

// A tab control with one page window per tab (TPageControl with its TTabSheets). The pages are
// children of the tab control, fill its display area, and pass the commands and notifications of
// their controls on to the top-level window. Only the active page shows.
class PageControl {
public:
    PageControl(HWND parent, int id, RECT bounds, HFONT font);

    static void RegisterPageClass(HINSTANCE instance);

    // Adds a page with this id and caption; returns its window.
    HWND AddPage(int id, const std::wstring& caption);
    void SetCaption(int index, const std::wstring& caption);
    void SetActive(int index);
    int Active() const;
    // The top-level window passes TCN_SELCHANGE of this control here.
    void SelectionChanged();
    // The size of a page's client area.
    SIZE PageSize() const;
    // Places every page in the tab control's page area again, after its size or font changed.
    void PlacePages() const;

private:
    RECT PageArea() const;

    HWND tabs_;
    std::vector<HWND> pages_;
};

}  // namespace kalvo::win32
