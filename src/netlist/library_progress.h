#pragma once
// Progress shown while the model libraries are read, written, sorted and indexed: the wait
// cursor, and texts in the status bar that give way to the text shown before them.
#include <string>
#include <string_view>

#include "ui/status_text.h"
#include "ui/wait_cursor.h"

namespace kq5 {

class WaitCursorScope {
public:
    WaitCursorScope() { BeginWaitCursor(nullptr); }
    ~WaitCursorScope() { EndWaitCursor(); }
    WaitCursorScope(const WaitCursorScope&) = delete;
    WaitCursorScope& operator=(const WaitCursorScope&) = delete;
};

// Keeps the status text of its start and puts it back at its end.
class StatusTextScope {
public:
    StatusTextScope() : saved_(GetStatusText()) {}
    ~StatusTextScope() { SetStatusText(saved_); }
    StatusTextScope(const StatusTextScope&) = delete;
    StatusTextScope& operator=(const StatusTextScope&) = delete;

    void Show(std::string_view text) { SetStatusText(text); }

private:
    std::string saved_;
};

}  // namespace kq5
