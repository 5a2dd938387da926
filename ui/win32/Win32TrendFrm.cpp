#include "ui/win32/Win32TrendFrm.h"

#include <wincodec.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/KalvoError.h"
#include "ui/win32/DisplayScale.h"
#include "ui/win32/SystemServices.h"
#include "ui/win32/Win32Text.h"
#include "ui/win32/WindowClass.h"
#include "window/Captions.h"
#include "window/uMainFrm.h"

namespace kalvo::win32 {

namespace {

// Menu item ids: the span items are this plus their minutes.
constexpr int IdSpanBase = 1000, IdSavePicture1 = 1100, IdCopyValues1 = 1101;
// The proposed client size at 96 DPI, when no place is kept.
constexpr int ProposedWidth = 640, ProposedHeight = 480;
constexpr DWORD WindowStyle = WS_OVERLAPPEDWINDOW;

COLORREF ColourOf(const TrendColour& colour)
{
    return RGB(colour.red, colour.green, colour.blue);
}

HMENU BuildTrendMenu()
{
    HMENU menu = CreatePopupMenu();
    for (int minutes : TrendSpans)
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(IdSpanBase + minutes),
            (std::to_wstring(minutes) + Widen(TrendFrmCaption::SpanUnit)).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IdSavePicture1, Widen(TrendFrmCaption::SavePicture1).c_str());
    AppendMenuW(menu, MF_STRING, IdCopyValues1, Widen(TrendFrmCaption::CopyValues1).c_str());
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), Widen(TrendFrmCaption::Menu).c_str());
    return bar;
}

// Writes the bitmap as a PNG file through the system's imaging component.
bool WritePng(HBITMAP bitmap, const std::wstring& fileName)
{
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
            reinterpret_cast<void**>(&factory))))
        return false;
    IWICBitmap* source = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    bool written = SUCCEEDED(factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &source))
        && SUCCEEDED(factory->CreateStream(&stream))
        && SUCCEEDED(stream->InitializeFromFilename(fileName.c_str(), GENERIC_WRITE))
        && SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder))
        && SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache))
        && SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr))
        && SUCCEEDED(frame->WriteSource(source, nullptr)) && SUCCEEDED(frame->Commit())
        && SUCCEEDED(encoder->Commit());
    for (IUnknown* part : std::initializer_list<IUnknown*>{frame, encoder, stream, source, factory})
        if (part)
            part->Release();
    return written;
}

}  // namespace

void PaintTrendPicture(HDC dc, const TrendPicture& picture, SIZE size)
{
    const RECT all{0, 0, size.cx, size.cy};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (const TrendPicture::Rect& rect : picture.rects) {
        const RECT area{rect.left, rect.top, rect.left + rect.width, rect.top + rect.height};
        HBRUSH brush = CreateSolidBrush(ColourOf(rect.fill));
        FillRect(dc, &area, brush);
        DeleteObject(brush);
    }
    for (const TrendPicture::Line& line : picture.lines) {
        HPEN pen = CreatePen(PS_SOLID, std::max(1, static_cast<int>(std::lround(line.width))), ColourOf(line.colour));
        HGDIOBJ before = SelectObject(dc, pen);
        std::vector<POINT> points;
        for (const TrendPicture::Point& point : line.points)
            points.push_back({static_cast<LONG>(std::lround(point.x)), static_cast<LONG>(std::lround(point.y))});
        // A single poll between gaps shows as a dot.
        if (points.size() == 1)
            points.push_back({points[0].x + 1, points[0].y});
        Polyline(dc, points.data(), static_cast<int>(points.size()));
        SelectObject(dc, before);
        DeleteObject(pen);
    }
    HFONT font = CreateFontW(-picture.fontPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Tahoma");
    HGDIOBJ before = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    for (const TrendPicture::Text& text : picture.texts) {
        const LONG x = std::lround(text.x), y = std::lround(text.y), reach = 10000, half = picture.fontPixels;
        RECT box{x, y - half, x + reach, y + half};
        UINT align = DT_LEFT;
        if (text.align == TrendPicture::Align::Right) {
            box = {x - reach, y - half, x, y + half};
            align = DT_RIGHT;
        } else if (text.align == TrendPicture::Align::Centre) {
            box = {x - reach / 2, y - half, x + reach / 2, y + half};
            align = DT_CENTER;
        }
        const std::wstring wide = WidenUtf8(text.text);
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &box,
            align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
    SelectObject(dc, before);
    DeleteObject(font);
}

HBITMAP TrendBitmap(const TrendPicture& picture, SIZE size)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size.cx, size.cy);
    ReleaseDC(nullptr, screen);
    HGDIOBJ before = SelectObject(dc, bitmap);
    PaintTrendPicture(dc, picture, size);
    SelectObject(dc, before);
    DeleteDC(dc);
    return bitmap;
}

void Win32TrendFrm::RegisterWindowClass(HINSTANCE instance)
{
    RegisterArrowCursorClass(instance, &Win32TrendFrm::WindowProc, ClassName);
}

Win32TrendFrm::Win32TrendFrm(HINSTANCE instance, HWND mainWindow, TMainFrm& behaviour)
    : mainWindow_(mainWindow),
      trendFrm_(*this, *behaviour.Trend(), behaviour.Files().settingsFile)
{
    window_ = CreateWindowExW(0, ClassName, Widen(TrendFrmCaption::Window).c_str(), WindowStyle, CW_USEDEFAULT,
        CW_USEDEFAULT, ProposedWidth, ProposedHeight, mainWindow, BuildTrendMenu(), instance, this);
}

Win32TrendFrm::~Win32TrendFrm()
{
    if (IsWindow(window_))
        DestroyWindow(window_);
}

void Win32TrendFrm::Open()
{
    if (!IsWindowVisible(window_)) {
        RECT main{};
        GetWindowRect(mainWindow_, &main);
        const int dpi = DpiOf(mainWindow_);
        const SIZE outer = OuterSizeFor(window_, {MulDiv(ProposedWidth, dpi, 96), MulDiv(ProposedHeight, dpi, 96)});
        const TrendPlacement place = trendFrm_.FormCreate({main.right, main.top, outer.cx, outer.cy});
        SetWindowPos(window_, nullptr, place.left, place.top, place.width, place.height, SWP_NOZORDER | SWP_NOACTIVATE);
        CheckSpan();
        ShowWindow(window_, SW_SHOWNORMAL);
    }
    SetForegroundWindow(window_);
}

void Win32TrendFrm::Close()
{
    if (!IsWindowVisible(window_))
        return;
    RECT place{};
    GetWindowRect(window_, &place);
    trendFrm_.FormClose({place.left, place.top, place.right - place.left, place.bottom - place.top});
    ShowWindow(window_, SW_HIDE);
}

void Win32TrendFrm::CheckSpan()
{
    for (int minutes : TrendSpans)
        CheckMenuItem(GetMenu(window_), static_cast<UINT>(IdSpanBase + minutes),
            MF_BYCOMMAND | (minutes == trendFrm_.Span() ? MF_CHECKED : MF_UNCHECKED));
}

SIZE Win32TrendFrm::ClientSize() const
{
    RECT client{};
    GetClientRect(window_, &client);
    return {client.right, client.bottom};
}

TrendPicture Win32TrendFrm::Picture() const
{
    const SIZE size = ClientSize();
    return trendFrm_.Picture(size.cx, size.cy, DpiOf(window_) / 96.0);
}

void Win32TrendFrm::RepaintTrend()
{
    InvalidateRect(window_, nullptr, FALSE);
}

std::optional<std::string> Win32TrendFrm::AskPictureFileName(const SaveFileQuestion& question)
{
    return win32::AskSaveFileName(window_, question);
}

void Win32TrendFrm::SaveTrendPicture(const std::string& fileName)
{
    HBITMAP bitmap = TrendBitmap(Picture(), ClientSize());
    const bool written = WritePng(bitmap, WidenFileName(fileName));
    DeleteObject(bitmap);
    if (!written)
        throw KalvoError("Unable to write to " + fileName);
}

void Win32TrendFrm::SetClipboardUtf8Text(const std::string& text)
{
    if (!OpenClipboard(window_))
        return;
    EmptyClipboard();
    const std::wstring wide = WidenUtf8(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        std::memcpy(GlobalLock(memory), wide.c_str(), bytes);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory))
            GlobalFree(memory);
    }
    CloseClipboard();
}

void Win32TrendFrm::ShowErrorBox(const std::string& title, const std::string& text)
{
    win32::ShowErrorBox(window_, title, text);
}

LRESULT CALLBACK Win32TrendFrm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32TrendFrm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32TrendFrm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->HandleMessage(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32TrendFrm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        // Drawn into a bitmap first, so a repaint at each poll does not flicker.
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        const SIZE size = ClientSize();
        HBITMAP bitmap = TrendBitmap(Picture(), size);
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ before = SelectObject(source, bitmap);
        BitBlt(dc, 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
        SelectObject(source, before);
        DeleteDC(source);
        DeleteObject(bitmap);
        EndPaint(window_, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        InvalidateRect(window_, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        if (!tracking_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
            tracking_ = TrackMouseEvent(&track);
        }
        trendFrm_.PointerMoved(GET_X_LPARAM(lParam));
        return 0;
    case WM_MOUSELEAVE:
        tracking_ = false;
        trendFrm_.PointerMoved(std::nullopt);
        return 0;
    case WM_COMMAND:
        Command(LOWORD(wParam));
        return 0;
    case WM_DPICHANGED: {
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
            suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        Close();
        return 0;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Win32TrendFrm::Command(int id)
{
    if (id == IdSavePicture1) {
        trendFrm_.SavePicture1Click();
    } else if (id == IdCopyValues1) {
        trendFrm_.CopyValues1Click();
    } else if (id > IdSpanBase && id < IdSavePicture1) {
        trendFrm_.SpanClick(id - IdSpanBase);
        CheckSpan();
    }
}

}  // namespace kalvo::win32
