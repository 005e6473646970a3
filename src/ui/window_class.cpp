#include "ui/window_class.h"

#include "ui/frame_state.h"
#include "platform/cursor.h"
#include "platform/mdi.h"
#include "platform/message.h"
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

bool RegisterPlotWindowClass(const char* name, win::WNDPROC proc, win::HBRUSH background)
{
    win::WNDCLASS existing;
    if (win::GetClassInfo(nullptr, name, &existing)) return true;
    win::WNDCLASS wc;
    wc.style = win::CS_HREDRAW | win::CS_VREDRAW | win::CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hCursor = win::LoadCursor(nullptr, win::IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return win::RegisterClass(&wc) != 0;
}

win::HWND CreatePlotChildWindow(const char* className, const std::string& title)
{
    if (win::HWND client = Frame().mdiClient) {
        win::MDICREATESTRUCT create;
        create.szClass = className;
        create.szTitle = title.c_str();
        create.x = create.y = create.cx = create.cy = win::CW_USEDEFAULT;
        return reinterpret_cast<win::HWND>(win::SendMessage(client, win::WM_MDICREATE, 0, reinterpret_cast<win::LPARAM>(&create)));
    }
    return win::CreateWindowEx(0, className, title.c_str(), win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 0, 0, 800, 600,
                               nullptr, nullptr, nullptr, nullptr);
}

bool IsFrameMdiChild(win::HWND hwnd)
{
    const win::HWND client = Frame().mdiClient;
    return client != nullptr && win::GetParent(hwnd) == client;
}

void DestroyPlotChildWindow(win::HWND hwnd)
{
    if (IsFrameMdiChild(hwnd)) win::SendMessage(Frame().mdiClient, win::WM_MDIDESTROY, reinterpret_cast<win::WPARAM>(hwnd), 0);
    else win::DestroyWindow(hwnd);
}

win::LRESULT DefaultPlotWindowProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    return IsFrameMdiChild(hwnd) ? win::DefMDIChildProc(hwnd, message, wParam, lParam)
                                 : win::DefWindowProc(hwnd, message, wParam, lParam);
}

}  // namespace kq5
