#pragma once

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "window/Captions.h"

// Where the controls of the two windows stand, in pixels at 96 dots per inch: every face builds
// its widgets from these tables, the recording view takes the initial state from them and the
// picture generator draws the component pictures to fit their widgets. A display with another pixel
// density takes Scaled(table, dpi) instead, so every place and font grows in one step.
namespace kalvo::layout {

// The density the tables are written for.
inline constexpr int DesignDpi = 96;

struct Size {
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(const Size&, const Size&) = default;
};

// Left, top, width and height in the client area of the control's parent (for a page, in its page
// control). A width and height of 0 mean the control sizes itself to its text.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

// The fonts of a window: the form's own, the report's and the large value texts'. Each has its
// character height in pixels (without the internal leading, as a point size gives it).
enum class FontRole { Form, Report, ValueText };
inline constexpr std::size_t FontRoleCount = 3;
inline constexpr char FontFace[] = "MS Sans Serif";

struct Control {
    std::string_view name = {};
    std::string_view parent = {};  // empty: the window's client area; a page control: a page of it
    Rect bounds = {};
    FontRole font = FontRole::Form;
    std::string_view caption = {};  // the text as the window is built
    int itemHeight = 0;             // the row height of a list, the line height of a memo
    bool activePage = false;        // the page its page control shows as the window is built
    friend constexpr bool operator==(const Control&, const Control&) = default;
};

template <std::size_t ControlCount> struct Form {
    Size client;
    std::array<int, FontRoleCount> fontPixels{};
    std::array<Control, ControlCount> controls;

    constexpr const Control& operator[](std::string_view name) const
    {
        for (const Control& control : controls) {
            if (control.name == name)
                return control;
        }
        throw std::out_of_range("no control of that name in the layout");
    }
    // Numbered controls: At("Memo", 3) is Memo3.
    const Control& At(std::string_view prefix, int number) const
    {
        return (*this)[std::string(prefix) + std::to_string(number)];
    }
    constexpr int FontPixels(FontRole role) const { return fontPixels[static_cast<std::size_t>(role)]; }
};

// A length at another density, rounded to the nearest pixel.
constexpr int Scale(int length, int dpi)
{
    const int scaled = length * dpi;
    return (scaled >= 0 ? scaled + DesignDpi / 2 : scaled - DesignDpi / 2) / DesignDpi;
}

// The table at another density: every place, size and font height scaled. Edges are scaled rather
// than sizes, so controls that touch at 96 dots per inch still touch.
template <std::size_t ControlCount> constexpr Form<ControlCount> Scaled(const Form<ControlCount>& form, int dpi)
{
    Form<ControlCount> scaled = form;
    scaled.client = {Scale(form.client.width, dpi), Scale(form.client.height, dpi)};
    for (int& pixels : scaled.fontPixels)
        pixels = Scale(pixels, dpi);
    for (Control& control : scaled.controls) {
        const Rect& at = control.bounds;
        control.bounds = {Scale(at.left, dpi), Scale(at.top, dpi), Scale(at.left + at.width, dpi) - Scale(at.left, dpi),
            Scale(at.top + at.height, dpi) - Scale(at.top, dpi)};
        control.itemHeight = Scale(control.itemHeight, dpi);
    }
    return scaled;
}

// The page controls and their pages: TabSheet1 and TabSheet2 belong to PageControl1, the error
// pages TabSheet3 .. TabSheet10 to PageControl2.
inline constexpr int TabSheetCount = 10;
inline constexpr int FirstErrorSheet = 3;

// The page control (1 or 2) that holds the tab sheet, and the sheet's index among its pages.
constexpr int PageControlOf(int tabSheet)
{
    return tabSheet < FirstErrorSheet ? 1 : 2;
}
constexpr int PageIndexOf(int tabSheet)
{
    return tabSheet - (PageControlOf(tabSheet) == 1 ? 1 : FirstErrorSheet);
}

// The main window MainFrm, its controls in the order a face creates them: the pictures of the
// "Picture" page from the bottom of the drawing order up, the controls of the "Text" page in focus
// order. Its outer size follows from the client area and the system's frame, caption and menu.
inline constexpr Form<43> MainFrm{
    {643, 525},
    {11, 12, 24},
    {{
        {"PageControl1", "", {0, 0, 643, 504}},
        {"StatusBar1", "", {0, 504, 643, 21}},
        {"Panel0", "StatusBar1", {0, 0, 50, 21}},  // the second panel runs to the bar's right end
        // A page stands below its page control's tab row, inside the control's 2-pixel frame.
        {"TabSheet1", "PageControl1", {2, 24, 639, 478}, FontRole::Form, MainFrmCaption::TabSheet1, 0, true},
        {"TabSheet2", "PageControl1", {2, 24, 639, 478}, FontRole::Form, MainFrmCaption::TabSheet2},

        {"ImageMain", "TabSheet1", {1, 5, 640, 480}},
        {"ImageMotor", "TabSheet1", {161, 114, 73, 73}},
        {"ImageVentil1", "TabSheet1", {261, 287, 33, 65}},
        {"ImageVentil2", "TabSheet1", {261, 210, 33, 57}},
        {"ImageHeizung", "TabSheet1", {32, 209, 65, 33}},
        {"ImageFlamme", "TabSheet1", {400, 88, 129, 57}},
        {"ImageTrafo", "TabSheet1", {323, 41, 65, 65}},
        {"Image1", "TabSheet1", {328, 416, 305, 49}},
        {"Label2", "TabSheet1", {138, 343, 0, 0}, FontRole::ValueText, "Label2"},
        {"Label3", "TabSheet1", {138, 379, 0, 0}, FontRole::ValueText, "Label3"},
        {"Label4", "TabSheet1", {138, 415, 0, 0}, FontRole::ValueText, "Label4"},
        {"Label5", "TabSheet1", {434, 45, 0, 0}, FontRole::ValueText, "Label5"},
        {"Label6", "TabSheet1", {545, 45, 0, 0}, FontRole::ValueText, "Label6"},
        {"Image2", "TabSheet1", {336, 352, 299, 46}},

        {"Memo1", "TabSheet2", {8, 8, 505, 289}, FontRole::Report, "Memo1", 13},
        {"PageControl2", "TabSheet2", {8, 312, 417, 169}},
        // The error tabs are narrower and lower, so all eight fit side by side.
        {"TabSheet3", "PageControl2", {2, 21, 413, 146}, FontRole::Form, "TabSheet3"},
        {"TabSheet4", "PageControl2", {2, 21, 413, 146}, FontRole::Form, "TabSheet4"},
        {"TabSheet5", "PageControl2", {2, 21, 413, 146}, FontRole::Form, "TabSheet5"},
        {"TabSheet6", "PageControl2", {2, 21, 413, 146}, FontRole::Form, "TabSheet6"},
        {"TabSheet7", "PageControl2", {2, 21, 413, 146}, FontRole::Form, "TabSheet7"},
        {"TabSheet8", "PageControl2", {2, 21, 413, 146}, FontRole::Form, "TabSheet8"},
        {"TabSheet9", "PageControl2", {2, 21, 413, 146}, FontRole::Form, "TabSheet9", 0, true},
        {"TabSheet10", "PageControl2", {2, 21, 413, 146}, FontRole::Form, "TabSheet10"},
        {"Memo2", "TabSheet3", {0, 0, 409, 141}, FontRole::Form, "Memo2"},
        {"Memo3", "TabSheet4", {0, 0, 409, 141}, FontRole::Form, "Memo3"},
        {"Memo4", "TabSheet5", {0, 0, 409, 141}, FontRole::Form, "Memo4"},
        {"Memo5", "TabSheet6", {0, 0, 409, 141}, FontRole::Form, "Memo5"},
        {"Memo6", "TabSheet7", {0, 0, 409, 141}, FontRole::Form, "Memo6"},
        {"Memo7", "TabSheet8", {0, 0, 409, 141}, FontRole::Form, "Memo7"},
        {"Memo8", "TabSheet9", {0, 0, 409, 141}, FontRole::Form, "Memo8"},
        {"Memo9", "TabSheet10", {0, 0, 409, 141}, FontRole::Form, "Memo9"},
        {"CheckListBox1", "TabSheet2", {440, 328, 193, 145}, FontRole::Form, "", 13},
        {"BitBtn1", "TabSheet2", {520, 8, 113, 33}, FontRole::Form, MainFrmCaption::BitBtn1},
        {"BitBtn2", "TabSheet2", {520, 48, 113, 33}, FontRole::Form, MainFrmCaption::BitBtn2},
        {"BitBtn3", "TabSheet2", {520, 88, 113, 33}, FontRole::Form, MainFrmCaption::BitBtn3},
        {"Memo10", "TabSheet2", {528, 152, 105, 89}},
        {"Label1", "TabSheet2", {440, 304, 0, 0}, FontRole::Form, MainFrmCaption::Label1},
    }},
};

// The pictures of the "Picture" page, by the image that shows each: its file, as tools/picgen
// draws it into resources/pictures and each face's resources carry it under that name (a ".jpg"
// compressed, the others plain bitmaps), and whether it is drawn transparent, the colour of its
// bottom-left pixel left out. They are drawn in the order of MainFrm's rows, the value labels
// between them.
struct Picture {
    std::string_view image;
    std::string_view file;
    bool transparent = false;
};
inline constexpr Picture MainFrmPictures[] = {
    {"ImageMain", "schematic.bmp"},
    {"ImageMotor", "motor.bmp"},
    {"ImageVentil1", "valve.bmp"},
    {"ImageVentil2", "valve.bmp"},
    {"ImageHeizung", "heater.bmp"},
    {"ImageFlamme", "flame.bmp", true},
    {"ImageTrafo", "transformer.bmp"},
    {"Image1", "logo.jpg"},
    {"Image2", "warning.bmp"},
};

// The picture the named control shows; none for a control that is no picture.
constexpr const Picture* PictureOf(std::string_view control)
{
    for (const Picture& picture : MainFrmPictures) {
        if (picture.image == control)
            return &picture;
    }
    return nullptr;
}

constexpr bool IsJpeg(const Picture& picture)
{
    return picture.file.ends_with(".jpg");
}

// The component pictures of the "Picture" page, lit while the unit reports their component active.
enum class ComponentImage { ImageHeizung, ImageTrafo, ImageMotor, ImageFlamme, ImageVentil1, ImageVentil2 };
inline constexpr int ComponentImageCount = static_cast<int>(ComponentImage::ImageVentil2) + 1;

// The control that shows the component picture.
constexpr std::string_view ImageName(ComponentImage image)
{
    switch (image) {
    case ComponentImage::ImageHeizung:
        return "ImageHeizung";
    case ComponentImage::ImageTrafo:
        return "ImageTrafo";
    case ComponentImage::ImageMotor:
        return "ImageMotor";
    case ComponentImage::ImageFlamme:
        return "ImageFlamme";
    case ComponentImage::ImageVentil1:
        return "ImageVentil1";
    case ComponentImage::ImageVentil2:
        return "ImageVentil2";
    }
    return {};
}

// The main window's keyboard order: the page tabs, the report, its buttons (and the export box,
// which shows only when start-up stopped), the error tabs and the error memos (one shows at a
// time), the check list. Tab skips what does not show or is disabled.
inline constexpr std::string_view MainFrmTabOrder[] = {"PageControl1", "Memo1", "BitBtn1", "BitBtn2", "BitBtn3",
    "Memo10", "PageControl2", "Memo2", "Memo3", "Memo4", "Memo5", "Memo6", "Memo7", "Memo8", "Memo9", "CheckListBox1"};

// The port dialog ComPortFrm, its controls in tab order, then the access note: hidden until the
// window layer shows it, wrapped within its width, as high as its face's font needs (its row's
// height where the face keeps the design font).
inline constexpr Form<4> ComPortFrm{
    {140, 112},
    {11, 11, 11},
    {{
        {"Button1", "", {16, 72, 105, 25}, FontRole::Form, ComPortFrmCaption::Button1},
        {"ComboBox1", "", {16, 40, 105, 21}, FontRole::Form, "", 13},
        {"Label1", "", {16, 16, 115, 13}, FontRole::Form, ComPortFrmCaption::Label1},
        {"AccessNote", "", {16, 104, 116, 52}, FontRole::Form, ComPortFrmCaption::AccessNote},
    }},
};

// The port dialog's client height while the access note shows, noteHeight high: the dialog grows
// so that the note keeps the same gap below it as above it to OK.
template <std::size_t ControlCount> constexpr int HeightWithAccessNote(const Form<ControlCount>& form, int noteHeight)
{
    const Rect& note = form["AccessNote"].bounds;
    const Rect& ok = form["Button1"].bounds;
    return note.top + noteHeight + (note.top - (ok.top + ok.height));
}

// A table longer than its rows would end in unnamed controls.
template <std::size_t ControlCount> constexpr bool NamesEveryControl(const Form<ControlCount>& form)
{
    for (const Control& control : form.controls) {
        if (control.name.empty())
            return false;
    }
    return true;
}
static_assert(NamesEveryControl(MainFrm) && NamesEveryControl(ComPortFrm), "every row names its control");

// Every picture and component picture is a control of the "Picture" page.
constexpr bool PicturesArePlaced()
{
    for (const Picture& picture : MainFrmPictures) {
        if (MainFrm[picture.image].parent != "TabSheet1")
            return false;
    }
    // Names compared, not PictureOf's pointer: GCC's undefined-behaviour sanitizer makes a pointer
    // comparison no constant expression.
    for (int image = 0; image < ComponentImageCount; ++image) {
        const std::string_view name = ImageName(static_cast<ComponentImage>(image));
        bool found = false;
        for (const Picture& picture : MainFrmPictures)
            found = found || picture.image == name;
        if (!found)
            return false;
    }
    return true;
}
static_assert(PicturesArePlaced(), "every picture names a picture of the Picture page");

}  // namespace kalvo::layout
