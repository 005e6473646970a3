#pragma once
// A window standing in for the frame's status bar: every repaint notes the text the bar would
// show, so that a test can read the progress texts of long work in the order they appeared.
#include <string>
#include <vector>

#include "ui/help_bar.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "platform/window.h"

namespace kq5::testing {

class StatusBarProbe {
public:
    StatusBarProbe()
    {
        win::WNDCLASS wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "StatusBarProbe";
        win::RegisterClass(&wc);
        window_ = win::CreateWindowEx(0, "StatusBarProbe", "", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 0, 0, 400, 40,
                                      nullptr, nullptr, nullptr, nullptr);
        ResetHelpBarForTests();
        SetHelpBarOption(true);
        FrameHelpBar().window = window_;
        Seen().clear();
    }
    ~StatusBarProbe()
    {
        FrameHelpBar().window = nullptr;
        if (window_) win::DestroyWindow(window_);
        SetHelpBarOption(false);
        ResetHelpBarForTests();
    }
    StatusBarProbe(const StatusBarProbe&) = delete;
    StatusBarProbe& operator=(const StatusBarProbe&) = delete;

    bool Made() const { return window_ != nullptr; }
    // The texts shown so far, oldest first.
    static std::vector<std::string>& Seen()
    {
        static std::vector<std::string> seen;
        return seen;
    }
    // Those of them that begin with the prefix.
    static std::vector<std::string> SeenStartingWith(const std::string& prefix)
    {
        std::vector<std::string> found;
        for (const std::string& text : Seen())
            if (text.rfind(prefix, 0) == 0) found.push_back(text);
        return found;
    }

private:
    static win::LRESULT Proc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
    {
        if (message == win::WM_PAINT) {
            win::PAINTSTRUCT ps;
            win::BeginPaint(hwnd, &ps);
            Seen().push_back(FrameHelpBar().text);
            win::EndPaint(hwnd, &ps);
            return 0;
        }
        return win::DefWindowProc(hwnd, message, wParam, lParam);
    }

    win::HWND window_ = nullptr;
};

}  // namespace kq5::testing
