#include "ui/help_bar.h"

#include <algorithm>
#include <cstdio>

#include "ui/menu_sources.h"
#include "ui/status_text.h"
#include "ui/window_class.h"
#include "platform/string_table.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_draw.h"
#include "platform/paint.h"
#include "platform/region.h"
#include "platform/cursor.h"
#include "platform/message.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {

namespace {

struct HelpBarState {
    HelpBar frame;
    bool frozen = false;
    int lineHeight = 0;
    HelpBarTextSources sources;
};

HelpBarState& State()
{
    static HelpBarState state;
    return state;
}

constexpr int kMaxHelpText = 250;
constexpr const char* kLoadFileFormat = "Load %s";

std::string StringText(int id)
{
    std::optional<std::string_view> text = FindStringTableText(id);
    if (!text) return std::string();
    return std::string(text->substr(0, kMaxHelpText));
}

void ShowId(HelpBar& bar, int id)
{
    if (!HelpBarOption() || bar.lastIds[1] == id) return;
    SetBarText(&bar, HelpBarTextForId(id));
    bar.lastIds[1] = id;
}

// The bar window: a sunken frame with the text on the button face.
win::LRESULT StatusBarWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    switch (msg) {
    case win::WM_CREATE: {
        win::HDC dc = win::GetDC(hwnd);
        win::HGDIOBJ old = win::SelectObject(dc, win::GetStockObject(win::DEFAULT_GUI_FONT));
        win::TEXTMETRIC tm;
        win::GetTextMetrics(dc, &tm);
        win::SelectObject(dc, old);
        win::ReleaseDC(hwnd, dc);
        State().lineHeight = tm.tmHeight + tm.tmDescent + tm.tmExternalLeading + 6;
        return 0;
    }
    case win::WM_CLOSE:
        win::ShowWindow(hwnd, win::SW_HIDE);
        return 0;
    case win::WM_ERASEBKGND:
        return 1;
    case win::WM_PAINT: {
        win::PAINTSTRUCT ps;
        win::HDC dc = win::BeginPaint(hwnd, &ps);
        win::RECT r;
        win::GetClientRect(hwnd, &r);
        win::FillRect(dc, &r, win::GetSysColorBrush(win::COLOR_BTNFACE));
        win::InflateRect(&r, -2, -2);
        win::HPEN shadow = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(win::COLOR_BTNSHADOW));
        win::HPEN light = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(win::COLOR_BTNHIGHLIGHT));
        win::HGDIOBJ oldPen = win::SelectObject(dc, shadow);
        win::MoveToEx(dc, r.left, r.bottom - 1, nullptr);
        win::LineTo(dc, r.left, r.top);
        win::LineTo(dc, r.right, r.top);
        win::SelectObject(dc, light);
        win::MoveToEx(dc, r.left, r.bottom - 1, nullptr);
        win::LineTo(dc, r.right - 1, r.bottom - 1);
        win::LineTo(dc, r.right - 1, r.top);
        win::SelectObject(dc, oldPen);
        win::DeleteObject(shadow);
        win::DeleteObject(light);
        win::InflateRect(&r, -1, -1);
        r.left += std::max(1, State().lineHeight / 4);
        win::HGDIOBJ oldFont = win::SelectObject(dc, win::GetStockObject(win::DEFAULT_GUI_FONT));
        win::SetTextColor(dc, win::GetSysColor(win::COLOR_BTNTEXT));
        win::SetBkColor(dc, win::GetSysColor(win::COLOR_BTNFACE));
        // A dialog's bar keeps its own text in its HelpBar; the window knows only the frame's.
        std::string text = FrameHelpBar().window == hwnd ? FrameHelpBar().text : std::string();
        if (const HelpBar* own = reinterpret_cast<const HelpBar*>(win::GetWindowLongPtr(hwnd, win::GWLP_USERDATA))) text = own->text;
        win::DrawText(dc, text, &r, win::DT_SINGLELINE | win::DT_NOPREFIX | win::DT_VCENTER | win::DT_LEFT);
        win::SelectObject(dc, oldFont);
        win::EndPaint(hwnd, &ps);
        return 0;
    }
    default: break;
    }
    return win::DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace

HelpBar& FrameHelpBar() { return State().frame; }

void ResetHelpBarForTests()
{
    State() = HelpBarState{};
    StatusText().shown = false;
}

HelpBarTextSources& HelpBarSources() { return State().sources; }

bool HelpBarOption() { return StatusText().shown; }
void SetHelpBarOption(bool on) { StatusText().shown = on; }

int HelpBarLineHeight() { return State().lineHeight; }

std::string_view FirstLine(std::string_view text)
{
    std::size_t end = text.find('\n');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

std::string HelpBarTextForId(int id)
{
    const HelpBarTextSources& sources = State().sources;
    if (id >= 0xF000 && id <= 0xF150) return StringText(15200 + ((id & 0xFFF) >> 4));
    if (id >= 19816 && id <= 19863) return StringText(19816);
    if (id >= 14603 && id <= 14612) return StringText(14603);
    if (id >= 14573 && id <= 14582) return StringText(14573);
    if (id >= 17371 && id <= 17380) return StringText(17371);
    if (id >= 3892 && id <= 3899) {
        const auto& recentFile = MenuTextSources().recentFile;
        std::string name = recentFile ? recentFile(id - 3892) : std::string();
        if (name.empty()) return name;
        char buffer[300];
        std::snprintf(buffer, sizeof buffer, kLoadFileFormat, name.substr(0, 250).c_str());
        return buffer;
    }
    if (id >= 17350 && id <= 17359) return sources.recentComponentText ? sources.recentComponentText(id - 17350) : std::string();
    if (id >= 42000 && sources.componentCount && id - 42000 < sources.componentCount())
        return sources.componentDescription ? sources.componentDescription(id - 42000) : std::string();
    switch (id) {
    case 16028: case 16050: return StringText(16008);
    case 16039: case 16052: return StringText(16018);
    case 16029: case 16051: return StringText(16009);
    case 16040: case 16053: return StringText(16019);
    case 0: return std::string();
    default: return StringText(id);
    }
}

void SetBarText(HelpBar* bar, std::string_view text)
{
    if (!bar || !HelpBarOption()) return;
    if (bar == &FrameHelpBar()) StatusText().text.assign(text);
    bar->text.assign(FirstLine(text));
    bar->lastIds[1] = -1;
    if (!bar->window) return;
    win::RECT r;
    win::GetClientRect(bar->window, &r);
    win::InflateRect(&r, -3, -3);
    win::InvalidateRect(bar->window, &r, win::FALSE);
    win::UpdateWindow(bar->window);
}

int SetHelpBarMessageId(win::HWND, int id)
{
    HelpBar& bar = FrameHelpBar();
    int previous = bar.lastIds[1] < 0 ? 0 : bar.lastIds[1];
    ShowId(bar, id);
    if (!HelpBarOption()) bar.lastIds[1] = id;
    return previous;
}

int HelpBarMessageId() { return FrameHelpBar().lastIds[1]; }

int ShowHelpBarMessage(HelpBar* bar, int id)
{
    if (!bar) return -1;
    if (State().frozen) return bar->lastIds[1];
    int previous = bar->lastIds[1];
    ShowId(*bar, id);
    return previous;
}

int ShowHelpBarText(HelpBar* bar, std::string_view text)
{
    if (!bar || State().frozen) return -1;
    SetBarText(bar, text);
    return 0;
}

void FreezeHelpBar() { State().frozen = true; }
void UnfreezeHelpBar() { State().frozen = false; }
bool IsHelpBarFrozen() { return State().frozen; }

int NonClientHelpMessageId(int hitTest)
{
    if (hitTest < 2 || hitTest > 18) return 0;
    return 17650 + hitTest;
}

int ShowNonClientHelp(HelpBar* bar, int hitTest)
{
    int id = NonClientHelpMessageId(hitTest);
    if (id == 0) return 0;
    return ShowHelpBarMessage(bar, id) == -1 ? 0 : 1;
}

int DlgControlHelpId(int controlId)
{
    switch (controlId) {
    case 1: case 2: case 22: return 18000 + controlId;
    case 9: return 18009;
    default: break;
    }
    if (controlId >= 19800 && controlId <= 19863) return controlId;
    return 0;
}

void ShowDlgControlHelp(HelpBar* bar, int controlId) { ShowHelpBarMessage(bar, DlgControlHelpId(controlId)); }

bool CreateStatusBar(win::HWND parent, HelpBar& bar)
{
    RegisterArrowClass(kHelpBarClass, &StatusBarWndProc);
    win::HWND window = win::CreateWindowEx(0, kHelpBarClass, "", win::WS_CHILD | win::WS_VISIBLE | win::WS_BORDER, 0, 0,
                                           10, 10, parent, nullptr, nullptr, nullptr);
    if (!window) return false;
    bar.window = window;
    bar.parent = parent;
    if (&bar != &FrameHelpBar()) win::SetWindowLongPtr(window, win::GWLP_USERDATA, reinterpret_cast<win::LONG_PTR>(&bar));
    bar.lines = 1;
    return true;
}

void PositionStatusBar(HelpBar& bar, int parentWidth, int parentHeight)
{
    if (!HelpBarOption() || !bar.window) return;
    const int height = bar.lines * State().lineHeight;
    win::MoveWindow(bar.window, -1, parentHeight - height + 1, parentWidth + 2, height, win::TRUE);
}

void ToggleStatusBar(HelpBar& bar)
{
    if (!bar.window) {
        SetHelpBarOption(true);
        if (bar.parent) CreateStatusBar(bar.parent, bar);
    } else {
        SetHelpBarOption(!HelpBarOption());
        win::ShowWindow(bar.window, HelpBarOption() ? win::SW_SHOW : win::SW_HIDE);
    }
    if (!bar.parent) return;
    win::RECT client;
    win::GetClientRect(bar.parent, &client);
    win::SendMessage(bar.parent, win::WM_SIZE, 0, win::MAKELPARAM(client.right, client.bottom));
    win::UpdateWindow(bar.parent);
}

void ExtendDialogForHelpBar(HelpBar& bar)
{
    if (!HelpBarOption() || !bar.parent) return;
    win::RECT r;
    win::GetWindowRect(bar.parent, &r);
    win::MoveWindow(bar.parent, r.left, r.top, r.right - r.left, r.bottom - r.top + bar.lines * State().lineHeight, win::TRUE);
}

void ShrinkDialogForHelpBar(win::HWND dialog)
{
    if (!HelpBarOption() || !dialog) return;
    win::RECT r;
    win::GetWindowRect(dialog, &r);
    win::MoveWindow(dialog, r.left, r.top, r.right - r.left, r.bottom - r.top - State().lineHeight, win::TRUE);
}

void DetachHelpBar(HelpBar& bar)
{
    if (bar.window) win::SetWindowLongPtr(bar.window, win::GWLP_USERDATA, 0);
    bar.window = nullptr;
}

}  // namespace kq5
