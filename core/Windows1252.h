#pragma once

#include <string>
#include <string_view>

namespace kalvo {

// The program's texts are 8-bit strings in Windows-1252. The five bytes that code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same number,
// so every byte survives the trip into a text box and back out unchanged. Both faces show texts
// through these two conversions.
std::u16string Windows1252ToUtf16(std::string_view bytes);

// Characters that Windows-1252 cannot hold (typed by the user) become '?', a surrogate pair one '?'.
std::string Utf16ToWindows1252(std::u16string_view text);

}  // namespace kalvo
