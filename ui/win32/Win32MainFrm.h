#pragma once

#include <windows.h>

#include <array>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

#include "ui/win32/CheckList.h"
#include "ui/win32/ControlIds.h"
#include "ui/win32/MemoTexts.h"
#include "ui/win32/PageControl.h"
#include "ui/win32/PictureLayers.h"
#include "ui/win32/PostedOnce.h"
#include "ui/win32/TabOrder.h"
#include "ui/win32/Win32Printer.h"
#include "ui/win32/Win32SystemServices.h"
#include "ui/win32/Win32TrendFrm.h"
#include "window/FormLayout.h"
#include "window/MainView.h"

class TMainFrm;

namespace kalvo::win32 {

class Win32ComPortFrm;

// The main window MainFrm in plain Win32 and common controls: menu, the two page controls, the
// pictures and labels of the "Picture" page, the memos, check list and buttons of the "Text" page,
// the status bar and Timer1, at the window's fixed pixel layout. It shows what the window layer
// tells it and passes the window's events to TMainFrm.
class Win32MainFrm : public MainView {
public:
    static constexpr wchar_t ClassName[] = L"KalvoMainFrm";

    explicit Win32MainFrm(HINSTANCE instance);
    ~Win32MainFrm() override;
    Win32MainFrm(const Win32MainFrm&) = delete;
    Win32MainFrm& operator=(const Win32MainFrm&) = delete;

    // Registers the window classes of the main window and its parts; once, before the first window.
    static void RegisterWindowClasses(HINSTANCE instance);

    // The behaviour that receives this window's events, and the port dialog the port command shows.
    void Bind(TMainFrm& behaviour, Win32ComPortFrm& portDialog);
    // Shows the window centred on the screen, then passes the first showing to FormShow.
    void Show(int showCommand);
    // What the window's behaviour drives: its controls, the system's services and the printer.
    MainFace Face() { return {*this, services_, printer_}; }
    // The window's keyboard navigation for a message about to be dispatched; true when it used it.
    bool HandleKey(const MSG& message) const { return tabOrder_.HandleKey(window_, message); }

    // MainView
    void SetMemoLines(int memo, const std::vector<std::string>& lines) override;
    void AddMemoLine(int memo, const std::string& line) override;
    std::vector<std::string> MemoLines(int memo) const override;
    void SetMemoVisible(int memo, bool visible) override;
    void SetLabelCaption(int label, const std::string& caption) override;
    void SetImageVisible(ComponentImage image, bool visible) override;
    void SetCheckListItems(const std::vector<std::string>& items) override;
    void SetCheckMark(int item, bool checked) override;
    void SetCheckListEnabled(bool enabled) override;
    void SetActivePage(int tabSheet) override;
    int ActivePage() const override;
    void SetTabCaption(int tabSheet, const std::string& caption) override;
    void SetPanelText(int panel, const std::string& text) override;
    void RepaintStatusBar() override;
    void StartTimer1(std::chrono::milliseconds interval) override;
    void StopTimer1() override;
    void ProcessPendingMessages() override;
    void CloseWindow() override;
    void SetMenuItemChecked(MenuCommand command, bool checked) override;

private:
    static constexpr int FirstLabel = 2;  // the value labels of the "Picture" page
    static constexpr int LastLabel = 6;
    static constexpr int MemoCount = 10;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id);
    void Notify(const NMHDR& header);
    void TakenDown();
    void CloseTrend();

    void BuildPicturePage(HWND page);
    void BuildTextPage(HWND page);
    void BuildErrorPages(HWND textPage);
    void BuildTabOrder();
    HWND AddPage(PageControl& pageControl, int tabSheet);
    PageControl& PageControlOf(int tabSheet) const;
    HWND AddControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int id,
                    RECT bounds, HFONT font);
    void CreateFonts();
    void DeleteFonts();
    HFONT FontOf(layout::FontRole role) const;
    void SizeToLayout(const RECT* suggested);
    void Rescale(int dpi, const RECT& suggested);
    void SetStatusParts();
    HWND Child(std::string_view name) const;
    POINT LabelPlace(int label) const;
    const layout::Control& Control(std::string_view name) const;
    RECT PlaceOf(std::string_view name) const;
    HWND Memo(int memo) const;
    HWND ImageLayer(ComponentImage image);
    void ShowImageStates();

    HINSTANCE instance_;
    HWND window_ = nullptr;
    TabOrder tabOrder_;
    HWND lastFocus_ = nullptr;  // the control that had the focus when the window was deactivated
    int dpi_ = layout::DesignDpi;
    std::remove_const_t<decltype(layout::MainFrm)> form_ = layout::MainFrm;  // the layout at dpi_
    SIZE outer_{};  // the window's fixed size with its frame; none while it is being built
    HFONT windowFont_ = nullptr;
    HFONT reportFont_ = nullptr;
    HFONT valueFont_ = nullptr;
    std::unique_ptr<PageControl> PageControl1;
    std::unique_ptr<PageControl> PageControl2;
    std::unique_ptr<PictureLayers> pictures_;
    std::unique_ptr<CheckList> CheckListBox1;
    std::array<HWND, 7> labels_{};           // Label2 .. Label6 at their numbers
    std::array<HWND, 11> memos_{};           // Memo1 .. Memo10 at their numbers
    std::unique_ptr<MemoTexts> memoTexts_;
    std::array<HWND, layout::ComponentImageCount> images_{};  // the component pictures' layers, once looked up
    std::array<std::optional<bool>, layout::ComponentImageCount> imageStates_{};  // set, not yet shown
    std::optional<PostedOnce> imageStatesWrite_;
    HWND StatusBar1 = nullptr;
    Win32SystemServices services_;
    Win32Printer printer_;
    std::unique_ptr<Win32TrendFrm> trend_;  // built when View > Trend... is first chosen

    TMainFrm* behaviour_ = nullptr;
    bool shown_ = false;
    bool takenDown_ = false;
};

}  // namespace kalvo::win32
