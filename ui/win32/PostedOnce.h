#pragma once

#include <windows.h>

namespace kalvo::win32 {

// A message to a window that stands in its queue once, however often it is asked for, until its
// handler calls Handled: work gathered while the window layer updates is done once, after it.
class PostedOnce {
public:
    PostedOnce(HWND window, UINT message) : window_(window), message_(message) { }

    // False when the queue takes no message (it is full): the caller then does the work at once.
    bool Post()
    {
        if (!posted_)
            posted_ = PostMessageW(window_, message_, 0, 0) != FALSE;
        return posted_;
    }
    void Handled() { posted_ = false; }

private:
    HWND window_;
    UINT message_;
    bool posted_ = false;
};

}  // namespace kalvo::win32
