#pragma once

#include <string_view>

namespace kalvo::test {

// The controls whose places both faces print in their client area's coordinates, for the face test
// to compare: the pages, the schematic with the logo, the flame and the value labels over it, and
// the controls of the "Text" page whose edges a page can cut.
inline constexpr std::string_view PlacedControls[] = {"TabSheet1", "TabSheet2", "ImageMain", "Image1", "ImageFlamme",
    "Label2", "Label3", "Label4", "Label5", "Label6", "PageControl2", "TabSheet3", "Memo2", "CheckListBox1"};

}  // namespace kalvo::test
