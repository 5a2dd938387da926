#pragma once

// The fixed texts of the two windows, the same in every face. Texts that change while the program
// runs (labels, memos, check list, tab captions, status panels) come from TMainFrm instead.
namespace kalvo {

// The program's name: the application title and the title of its error boxes.
inline constexpr char ApplicationTitle[] = "Kalvo";

namespace MainFrmCaption {
inline constexpr char Window[] = "Kalvo V2.03";
inline constexpr char TabSheet1[] = "Picture";
inline constexpr char TabSheet2[] = "Text";
inline constexpr char BitBtn1[] = "Copy to Clipboard";
inline constexpr char BitBtn2[] = "Print...";
inline constexpr char BitBtn3[] = "Save As...";
inline constexpr char Label1[] = "Status : ";
}  // namespace MainFrmCaption

namespace ComPortFrmCaption {
inline constexpr char Window[] = "COM-Port";
inline constexpr char Label1[] = "Select serial COM-Port : ";
inline constexpr char Button1[] = "OK";
// Shown under the list only when no port could be listed and some were refused for want of
// permission.
inline constexpr char AccessNote[] =
    "No permission to open the serial ports. Join the group \"dialout\" and log in again.";
}  // namespace ComPortFrmCaption

namespace TrendFrmCaption {
inline constexpr char Window[] = "Kalvo trend";
inline constexpr char Menu[] = "&Trend";
inline constexpr char SavePicture1[] = "Save picture...";
inline constexpr char CopyValues1[] = "Copy values";
// A span item's caption: "2 minutes".
inline constexpr char SpanUnit[] = " minutes";
}  // namespace TrendFrmCaption

}  // namespace kalvo
