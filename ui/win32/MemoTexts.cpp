#include "ui/win32/MemoTexts.h"

#include "ui/win32/Win32Text.h"

namespace kalvo::win32 {

void MemoTexts::Set(HWND memo, const std::vector<std::string>& lines)
{
    pending_[memo] = JoinMemoLines(lines);
    ScheduleWrite();
}

// Appended to what the memo shows or is to show, as a line added to the control would be.
void MemoTexts::Add(HWND memo, const std::string& line)
{
    const auto [entry, first] = pending_.try_emplace(memo);
    if (first)
        entry->second = WindowTextOf(memo);
    entry->second += JoinMemoLines({line});
    ScheduleWrite();
}

std::vector<std::string> MemoTexts::Lines(HWND memo) const
{
    const auto entry = pending_.find(memo);
    return SplitMemoText(entry != pending_.end() ? entry->second : WindowTextOf(memo));
}

// A message that cannot be posted (a full queue) leaves the texts to be written at once.
void MemoTexts::ScheduleWrite()
{
    if (!writePosted_)
        writePosted_ = PostMessageW(owner_, writeMessage_, 0, 0) != FALSE;
    if (!writePosted_)
        WriteChanged();
}

// Compared with the control's own text, not with the text last written: the user may have typed
// into the memo since. Setting the whole text shows it from its first line.
void MemoTexts::WriteChanged()
{
    writePosted_ = false;
    std::map<HWND, std::wstring> texts;
    texts.swap(pending_);
    for (const auto& [memo, text] : texts) {
        if (IsWindow(memo) && WindowTextOf(memo) != text)
            SetWindowTextW(memo, text.c_str());
    }
}

}  // namespace kalvo::win32
