#include "app/help_bar.h"

namespace kq5 {

namespace {
int& ShownId()
{
    static int id = 0;
    return id;
}
}  // namespace

int SetHelpBarMessageId(win::HWND, int id)
{
    int previous = ShownId();
    ShownId() = id;
    return previous;
}

int HelpBarMessageId() { return ShownId(); }

}  // namespace kq5
