#pragma once

#include <windows.h>

#include "window/MainView.h"

class TComPortFrm;

namespace kalvo::win32 {

// The port dialog ComPortFrm: a modal dialog with the list ComboBox1, the button Button1 (its OK
// button) and the access note, at the dialog's pixel layout. It shows what TComPortFrm tells it
// and passes the showing, the hiding, OK and the probe pause on to it. Closing it by its title
// bar passes nothing but the hiding.
class Win32ComPortFrm : public PortDialogView {
public:
    explicit Win32ComPortFrm(HINSTANCE instance);
    ~Win32ComPortFrm() override;
    Win32ComPortFrm(const Win32ComPortFrm&) = delete;
    Win32ComPortFrm& operator=(const Win32ComPortFrm&) = delete;

    void Bind(TComPortFrm& behaviour) { behaviour_ = &behaviour; }
    // Shows the dialog modally over the owner and returns when it has closed.
    void ShowModal(HWND owner);

    // PortDialogView
    void SetPortItems(const std::vector<std::string>& items) override;
    int SelectedPortItem() const override;
    void SelectPortItem(int index) override;
    void SetSearching(bool searching, const std::string& placeholder) override;
    void SetAccessNoteVisible(bool visible) override;
    void FocusButton1() override;
    void StartProbePause(std::chrono::milliseconds pause) override;
    void StopProbePause() override;
    void CloseDialog() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Build();
    // The client area at the layout's width scaled to the dialog's density, and the given height.
    void SizeClientArea(int height);

    HINSTANCE instance_;
    HFONT font_ = nullptr;
    int dpi_ = 96;
    HWND dialog_ = nullptr;
    HWND ComboBox1 = nullptr;
    HWND Button1 = nullptr;
    HWND AccessNote = nullptr;
    TComPortFrm* behaviour_ = nullptr;
};

}  // namespace kalvo::win32
