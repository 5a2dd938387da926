// The memos' texts under Wine: what a poll sets and adds reaches the edit control once its updates
// are done, each change shows (also one that goes back), an unchanged text is not written again and
// a changed one only where it differs.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "ui/win32/MemoTexts.h"
#include "ui/win32/Win32Text.h"

namespace {

using kalvo::win32::MemoTexts;
using kalvo::win32::WindowTextOf;
using Lines = std::vector<std::string>;

constexpr UINT WriteMessage = WM_APP + 7;

// An edit control like the face's memos, in a window of its own, that counts the texts written
// into it, whole or in part.
class MemoTextsTest : public ::testing::Test {
protected:
    MemoTextsTest()
    {
        owner_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
        memo_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 200, 200, owner_,
            nullptr, nullptr, nullptr);
        SetWindowLongPtrW(memo_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        editProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(memo_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MemoTextsTest::CountingProc)));
    }
    ~MemoTextsTest() override { DestroyWindow(owner_); }

    static LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<MemoTextsTest*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_SETTEXT || message == EM_REPLACESEL) {
            ++self->writes_;
            self->lastWritten_ = reinterpret_cast<const wchar_t*>(lParam);
        }
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
    std::wstring lastWritten_;
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

TEST_F(MemoTextsTest, AChangedTextIsWrittenOnlyWhereItDiffersAndShowsFromItsStart)
{
    MemoTexts texts(owner_, WriteMessage);
    Lines report;
    for (int line = 1; line <= 40; ++line)
        report.push_back("Line " + std::to_string(line) + ": 12.5 uA");
    Build(texts, report);
    texts.WriteChanged();
    SendMessageW(memo_, EM_SETSEL, 200, 210);
    SendMessageW(memo_, EM_LINESCROLL, 0, 30);
    ASSERT_GT(SendMessageW(memo_, EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    const std::pair<std::size_t, std::string> changes[] = {{20, "Line 21: 13.0 uA"}, {39, "Line 40: 0.0 uA"}};
    for (const auto& [index, line] : changes) {
        report[index] = line;
        Build(texts, report);
        texts.WriteChanged();
        EXPECT_EQ(WindowTextOf(memo_), kalvo::win32::JoinMemoLines(report));
        EXPECT_LE(lastWritten_.size(), 4U) << "only the changed figure is written";
    }
    DWORD start = 1;
    DWORD end = 1;
    SendMessageW(memo_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0U);
    EXPECT_EQ(end, 0U);
    EXPECT_EQ(SendMessageW(memo_, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

}  // namespace
