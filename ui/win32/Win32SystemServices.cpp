#include "ui/win32/Win32SystemServices.h"

#include "ui/win32/SystemServices.h"
#include "ui/win32/Win32ComPortFrm.h"

namespace kalvo::win32 {

// A box outlives a window already taken down: it then has no owner.
void Win32SystemServices::ShowErrorBox(const std::string& title, const std::string& text)
{
    win32::ShowErrorBox(IsWindow(owner_) ? owner_ : nullptr, title, text);
}

std::optional<std::string> Win32SystemServices::AskSaveFileName(const SaveFileQuestion& question)
{
    return win32::AskSaveFileName(owner_, question);
}

std::optional<std::string> Win32SystemServices::AskFolder(const std::string& title, const std::string& initialFolder)
{
    return win32::AskFolder(owner_, title, initialFolder);
}

void Win32SystemServices::ShowPortDialog()
{
    if (portDialog_)
        portDialog_->ShowModal(owner_);
}

void Win32SystemServices::ShowTrendWindow()
{
    if (openTrend_)
        openTrend_();
}

void Win32SystemServices::SetClipboardText(const std::string& text)
{
    win32::SetClipboardText(owner_, text);
}

RegionalDateTime Win32SystemServices::CurrentRegionalDateTime() const
{
    return win32::CurrentRegionalDateTime();
}

}  // namespace kalvo::win32
