#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "window/FormLayout.h"

// What the main window shows, as text: the Win32 test driver reads it off the real window, and the
// expected-view program from the window layer run against the same unit bytes. Both print it with
// FormatViewDump, so a plain comparison tells whether the face shows what the layer decided.
namespace kalvo::viewdump {

struct ViewDump {
    std::array<std::string, 5> labels;       // Label2 .. Label6
    std::array<bool, 6> images{};            // in the order of ComponentImage
    std::vector<std::pair<bool, std::string>> checkItems;  // mark and caption
    bool checkListEnabled = false;
    std::array<std::string, 8> errorTabs;    // captions of TabSheet3 .. TabSheet10
    int activePage = 0;                      // 1 or 2
    int activeErrorTab = 0;                  // 3 .. 10
    std::array<std::string, 2> panels;
    std::array<std::vector<std::string>, 10> memos;  // Memo1 .. Memo10
    std::array<bool, 10> memoVisible{};
};

// One "name=value" line per item, memo lines as "MemoN|line"; texts as their bytes.
inline std::string FormatViewDump(const ViewDump& dump)
{
    std::string out;
    const auto line = [&out](const std::string& name, const std::string& value) { out += name + "=" + value + "\n"; };
    for (std::size_t i = 0; i < dump.labels.size(); ++i)
        line("Label" + std::to_string(i + 2), dump.labels[i]);
    for (std::size_t i = 0; i < dump.images.size(); ++i) {
        const std::string_view image = layout::ImageName(static_cast<layout::ComponentImage>(i));
        line(std::string(image), dump.images[i] ? "shown" : "hidden");
    }
    line("CheckListBox1.enabled", dump.checkListEnabled ? "1" : "0");
    for (std::size_t i = 0; i < dump.checkItems.size(); ++i)
        line("CheckListBox1[" + std::to_string(i) + "]", (dump.checkItems[i].first ? "[x] " : "[ ] ") + dump.checkItems[i].second);
    for (std::size_t i = 0; i < dump.errorTabs.size(); ++i)
        line("TabSheet" + std::to_string(i + 3), dump.errorTabs[i]);
    line("PageControl1.active", "TabSheet" + std::to_string(dump.activePage));
    line("PageControl2.active", "TabSheet" + std::to_string(dump.activeErrorTab));
    line("StatusBar1[0]", dump.panels[0]);
    line("StatusBar1[1]", dump.panels[1]);
    for (std::size_t i = 0; i < dump.memos.size(); ++i) {
        const std::string name = "Memo" + std::to_string(i + 1);
        line(name + ".visible", dump.memoVisible[i] ? "1" : "0");
        for (const std::string& text : dump.memos[i])
            out += name + "|" + text + "\n";
    }
    return out;
}

}  // namespace kalvo::viewdump
