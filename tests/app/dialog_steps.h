#pragma once
// Answers the modal dialogs a call opens: one step is done on the active window each time the
// dialog's loop waits for input, and every step must have run when the call returns.
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/window.h"

namespace kq5::testing {

using DialogStep = std::function<void(win::HWND)>;

template <class F>
auto AnsweringDialogs(std::vector<DialogStep> steps, F call)
{
    std::size_t next = 0;
    win::headless::SetIdleHandler([&]() {
        if (next >= steps.size()) return false;
        steps[next++](win::GetActiveWindow());
        return true;
    });
    auto result = call();
    win::headless::SetIdleHandler({});
    EXPECT_EQ(next, steps.size()) << "not every step ran";
    return result;
}

inline void PressDialogButton(win::HWND dialog, int id)
{
    win::SendMessage(dialog, win::WM_COMMAND, static_cast<win::WPARAM>(id), 0);
}

// Chooses entry `index` of a combo box as a user's pick would, with its change notice.
inline void PickComboEntry(win::HWND dialog, int combo, int index)
{
    win::SendDlgItemMessage(dialog, combo, win::CB_SETCURSEL, static_cast<win::WPARAM>(index), 0);
    win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(combo, win::CBN_SELCHANGE), 0);
}

}  // namespace kq5::testing
