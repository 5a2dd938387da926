#include "ui/win32/MemoTexts.h"

#include <algorithm>
#include <cstddef>

#include "ui/win32/Win32Text.h"

namespace kalvo::win32 {

namespace {

// Replaces the part of the memo's text that differs from the new text: the edit control lays out
// and repaints only the lines of that part. Afterwards the memo shows from its first line with the
// caret at its start, as when its whole text is set. A text beyond the control's limit, which a
// replacement would cut, is set whole.
void WriteDifference(HWND memo, const std::wstring& shown, const std::wstring& text)
{
    if (text.size() > static_cast<std::size_t>(SendMessageW(memo, EM_GETLIMITTEXT, 0, 0))) {
        SetWindowTextW(memo, text.c_str());
        return;
    }
    const auto shorter = static_cast<std::ptrdiff_t>(std::min(shown.size(), text.size()));
    const auto prefix = std::mismatch(shown.begin(), shown.begin() + shorter, text.begin()).first - shown.begin();
    const auto suffix =
        std::mismatch(shown.rbegin(), shown.rbegin() + (shorter - prefix), text.rbegin()).first - shown.rbegin();
    const std::wstring replacement = text.substr(static_cast<std::size_t>(prefix),
        text.size() - static_cast<std::size_t>(prefix + suffix));
    SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(prefix), static_cast<LPARAM>(shown.size()) - suffix);
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(replacement.c_str()));
    SendMessageW(memo, EM_SETSEL, 0, 0);
    SendMessageW(memo, EM_SCROLLCARET, 0, 0);
}

}  // namespace

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
    if (!write_.Post())
        WriteChanged();
}

// Compared with the control's own text, not with the text last written: the user may have typed
// into the memo since.
void MemoTexts::WriteChanged()
{
    write_.Handled();
    std::map<HWND, std::wstring> texts;
    texts.swap(pending_);
    for (const auto& [memo, text] : texts) {
        if (!IsWindow(memo))
            continue;
        if (const std::wstring shown = WindowTextOf(memo); shown != text)
            WriteDifference(memo, shown, text);
    }
}

}  // namespace kalvo::win32
