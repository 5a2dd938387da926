#include "ui/win32/SystemServices.h"

#include <commdlg.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ui/win32/Win32Text.h"

namespace kalvo::win32 {

namespace {

constexpr DWORD SaveFileNameCapacity = 32768;
// US English: its ANSI code page is 1252, so the system turns CF_TEXT into Unicode by that page.
constexpr LCID Windows1252Locale = 0x0409;

// "Text (*.txt)|*.txt" becomes the dialog's list of NUL-separated pairs ending with two NULs.
std::wstring DialogFilter(const std::string& filter)
{
    std::wstring pairs = Widen(filter);
    std::replace(pairs.begin(), pairs.end(), L'|', L'\0');
    pairs.push_back(L'\0');
    pairs.push_back(L'\0');
    return pairs;
}

bool PutOnClipboard(UINT format, const void* data, std::size_t size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return false;
    std::memcpy(GlobalLock(memory), data, size);
    GlobalUnlock(memory);
    if (SetClipboardData(format, memory))
        return true;
    GlobalFree(memory);
    return false;
}

std::wstring FormattedNow(bool date)
{
    wchar_t buffer[128] = {};
    if (date)
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 128);
    else
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 128);
    return buffer;
}

// Selects the initial folder once the folder question is up; the path travels in lParam.
int CALLBACK SelectInitialFolder(HWND dialog, UINT message, LPARAM, LPARAM initialFolder)
{
    if (message == BFFM_INITIALIZED && initialFolder)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, initialFolder);
    return 0;
}

// An error text can name a file, and file names are UTF-8, while the program's own texts are
// Windows-1252. A text that is valid UTF-8 beyond plain ASCII is shown as UTF-8: Windows-1252
// prose practically never forms such sequences.
std::wstring MessageText(const std::string& text)
{
    const bool readsAsUtf8 =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0) > 0;
    return readsAsUtf8 ? WidenFileName(text) : Widen(text);
}

}  // namespace

void ShowErrorBox(HWND owner, const std::string& title, const std::string& text)
{
    MessageBoxW(owner, MessageText(text).c_str(), Widen(title).c_str(), MB_OK | MB_ICONERROR);
}

std::optional<std::string> AskSaveFileName(HWND owner, const SaveFileQuestion& question)
{
    const std::wstring filter = DialogFilter(question.filter);
    const std::wstring extension = Widen(question.defaultExtension);
    std::vector<wchar_t> fileName(SaveFileNameCapacity, L'\0');
    const std::wstring initial = WidenFileName(question.initialFileName);
    std::copy_n(initial.begin(), std::min<std::size_t>(initial.size(), SaveFileNameCapacity - 1), fileName.begin());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName.data();
    dialog.nMaxFile = SaveFileNameCapacity;
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog))
        return std::nullopt;
    return NarrowFileName(fileName.data());
}

std::optional<std::string> AskFolder(HWND owner, const std::string& title, const std::string& initialFolder)
{
    const std::wstring caption = Widen(title);
    const std::wstring initial = WidenFileName(initialFolder);
    BROWSEINFOW question{};
    question.hwndOwner = owner;
    question.lpszTitle = caption.c_str();
    question.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    question.lpfn = SelectInitialFolder;
    question.lParam = initial.empty() ? 0 : reinterpret_cast<LPARAM>(initial.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&question);
    if (!chosen)
        return std::nullopt;
    std::vector<wchar_t> path(32768, L'\0');
    const bool isFolder = SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    CoTaskMemFree(chosen);
    // A choice outside the file system (a printer, the network neighbourhood) is no folder to record into.
    if (!isFolder)
        return std::nullopt;
    return NarrowFileName(path.data());
}

void SetClipboardText(HWND owner, const std::string& text)
{
    if (!OpenClipboard(owner))
        return;
    EmptyClipboard();
    PutOnClipboard(CF_TEXT, text.c_str(), text.size() + 1);
    PutOnClipboard(CF_LOCALE, &Windows1252Locale, sizeof Windows1252Locale);
    CloseClipboard();
}

RegionalDateTime CurrentRegionalDateTime()
{
    return {Narrow(FormattedNow(true)), Narrow(FormattedNow(false))};
}

void ProcessPendingMessages(const KeyHandler& keys)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (keys(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int RunMessageLoop(const KeyHandler& keys)
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (keys(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

HBITMAP LoadJpegResource(HINSTANCE instance, const wchar_t* name)
{
    HRSRC resource = FindResourceW(instance, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const DWORD size = resource ? SizeofResource(instance, resource) : 0;
    if (!loaded || size == 0)
        return nullptr;
    // The picture loader reads from a stream over memory of its own.
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return nullptr;
    std::memcpy(GlobalLock(copy), LockResource(loaded), size);
    GlobalUnlock(copy);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
        GlobalFree(copy);
        return nullptr;
    }
    IPicture* picture = nullptr;
    HBITMAP bitmap = nullptr;
    if (SUCCEEDED(OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                 reinterpret_cast<void**>(&picture)))) {
        OLE_HANDLE handle = 0;
        if (SUCCEEDED(picture->get_Handle(&handle))) {
            // A copy of our own: the picture object deletes its bitmap when released.
            bitmap = static_cast<HBITMAP>(
                CopyImage(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0, 0, 0));
        }
        picture->Release();
    }
    stream->Release();
    return bitmap;
}

}  // namespace kalvo::win32
