#include "app/window_class.h"

#include "platform/cursor.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {

void RegisterArrowClass(const char* name, win::WNDPROC proc, win::HBRUSH background)
{
    win::WNDCLASS wc;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    wc.hCursor = win::LoadCursor(nullptr, win::IDC_ARROW);
    wc.hbrBackground = background;
    win::RegisterClass(&wc);
}

}  // namespace kq5
