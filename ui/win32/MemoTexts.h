#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ui/win32/PostedOnce.h"

namespace kalvo::win32 {

// The texts the window layer gives the memos (edit controls), written into the controls once its
// updates are done and only where they differ from what a control holds. A poll clears the report
// and adds its lines again, and sets every error record; unchanged, that costs no edit control a
// layout or a repaint, each of which is many calls to the window system under Wine.
//
// The first change after a write posts the owner the given message; the owner passes it to
// WriteChanged. Anything that reads a memo in between sees the new text.
class MemoTexts {
public:
    MemoTexts(HWND owner, UINT writeMessage) : write_(owner, writeMessage) { }

    void Set(HWND memo, const std::vector<std::string>& lines);
    void Add(HWND memo, const std::string& line);
    std::vector<std::string> Lines(HWND memo) const;

    // Writes each changed text into its control; a control whose text is the same is left as it is.
    void WriteChanged();

private:
    void ScheduleWrite();

    PostedOnce write_;
    std::map<HWND, std::wstring> pending_;  // the whole text each changed memo is to show
};

}  // namespace kalvo::win32
