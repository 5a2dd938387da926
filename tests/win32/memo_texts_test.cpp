// The memos' texts under Wine: what a poll sets and adds reaches the edit control once its updates
// are done, each change shows (also one that goes back), and an unchanged text is not written again.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ui/win32/MemoTexts.h"
#include "ui/win32/Win32Text.h"

namespace {

using kalvo::win32::MemoTexts;
using kalvo::win32::WindowTextOf;
using Lines = std::vector<std::string>;

constexpr UINT WriteMessage = WM_APP + 7;

// An edit control in a window of its own that counts the texts written into it.
class MemoTextsTest : public ::testing::Test {
protected:
    MemoTextsTest()
    {
        owner_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
        memo_ = CreateWindowExW(
            0, L"EDIT", L"", WS_CHILD | ES_MULTILINE, 0, 0, 200, 200, owner_, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(memo_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        editProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(memo_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MemoTextsTest::CountingProc)));
    }
    ~MemoTextsTest() override { DestroyWindow(owner_); }

    static LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<MemoTextsTest*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_SETTEXT)
            ++self->writes_;
        return CallWindowProcW(self->editProc_, window, message, wParam, lParam);
    }

    // How many write messages wait for the owner; takes them from the queue.
    int TakeWriteMessages() const
    {
        int count = 0;
        MSG message;
        while (PeekMessageW(&message, owner_, WriteMessage, WriteMessage, PM_REMOVE))
            ++count;
        return count;
    }

    // The report as a poll builds it: cleared, then line by line.
    void Build(MemoTexts& texts, const Lines& lines) const
    {
        texts.Set(memo_, {});
        for (const std::string& line : lines)
            texts.Add(memo_, line);
    }

    HWND owner_ = nullptr;
    HWND memo_ = nullptr;
    WNDPROC editProc_ = nullptr;
    int writes_ = 0;
};

TEST_F(MemoTextsTest, APollsLinesAreWrittenOnceWhenDoneAndReadBeforehand)
{
    MemoTexts texts(owner_, WriteMessage);
    Build(texts, {"Burner on", "Flame 12 uA"});
    EXPECT_EQ(TakeWriteMessages(), 1) << "one write asked for, however many changes";
    EXPECT_EQ(texts.Lines(memo_), (Lines{"Burner on", "Flame 12 uA"}));
    EXPECT_EQ(writes_, 0);

    texts.WriteChanged();
    EXPECT_EQ(writes_, 1);
    EXPECT_EQ(WindowTextOf(memo_), L"Burner on\r\nFlame 12 uA\r\n");
    EXPECT_EQ(texts.Lines(memo_), (Lines{"Burner on", "Flame 12 uA"}));
}

TEST_F(MemoTextsTest, EachChangeShowsAndAnUnchangedTextIsNotWrittenAgain)
{
    MemoTexts texts(owner_, WriteMessage);
    struct Poll {
        Lines lines;
        int newWrites;
    };
    const Poll polls[] = {
        {{"Burner on", "Flame 12 uA"}, 1},
        {{"Burner on", "Flame 12 uA"}, 0},
        {{"Burner off"}, 1},
        {{}, 1},
        {{"Burner on", "Flame 12 uA"}, 1},
        {{"Burner on", "Flame 12 uA"}, 0},
    };
    for (const Poll& poll : polls) {
        const int before = writes_;
        Build(texts, poll.lines);
        EXPECT_EQ(TakeWriteMessages(), 1);
        texts.WriteChanged();
        EXPECT_EQ(writes_ - before, poll.newWrites) << testing::PrintToString(poll.lines);
        EXPECT_EQ(WindowTextOf(memo_), kalvo::win32::JoinMemoLines(poll.lines));
    }
}

TEST_F(MemoTextsTest, WhatTheUserTypedIsReplacedByTheSameTextAsBefore)
{
    MemoTexts texts(owner_, WriteMessage);
    texts.Set(memo_, {"Burner on"});
    texts.WriteChanged();
    SetWindowTextW(memo_, L"typed\r\n");
    texts.Set(memo_, {"Burner on"});
    texts.WriteChanged();
    EXPECT_EQ(WindowTextOf(memo_), L"Burner on\r\n");
}

TEST_F(MemoTextsTest, ALineAddedWithoutSettingFollowsWhatTheMemoHolds)
{
    MemoTexts texts(owner_, WriteMessage);
    SetWindowTextW(memo_, L"typed\r\n");
    texts.Add(memo_, "scratch");
    EXPECT_EQ(texts.Lines(memo_), (Lines{"typed", "scratch"}));
    texts.WriteChanged();
    EXPECT_EQ(WindowTextOf(memo_), L"typed\r\nscratch\r\n");
}

}  // namespace
