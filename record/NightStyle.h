#pragma once

#include <string_view>

namespace kalvo::record {

// The night report's style sheet, inlined into the page.
std::string_view NightReportStyle();

}  // namespace kalvo::record
