// The window manager's state and its reset.
#include "platform/user_state.h"

#include "platform/control_internal.h"
#include "platform/screen.h"

namespace win {

namespace {

LRESULT DesktopProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

std::unique_ptr<UserState>& StatePtr() {
    static std::unique_ptr<UserState> state;
    return state;
}

std::vector<std::function<void()>>& Initializers() {
    static std::vector<std::function<void()>> list;
    return list;
}

void MakeState() {
    StatePtr() = std::make_unique<UserState>();
    InstallStandardControls();  // the layer's own classes: controls and dialogs
    for (auto& init : Initializers()) init();
}

}  // namespace

void AddStateInitializer(const std::function<void()>& init) {
    Initializers().push_back(init);
    if (StatePtr()) init();
}

UserState::UserState() {
    LoadDefaultSysColors(sysColors);
    auto desktopClass = std::make_unique<WindowClass>();
    desktopClass->name = "#32769";
    desktopClass->atom = 32769;
    desktopClass->proc = DesktopProc;
    desktopClass->system = true;
    desktop = std::make_unique<WindowObject>();
    desktop->cls = desktopClass.get();
    desktop->proc = DesktopProc;
    desktop->style = WS_VISIBLE | WS_CLIPCHILDREN | WS_POPUP;
    SIZE size = ScreenSize();
    desktop->rect = RECT{0, 0, size.cx, size.cy};
    desktop->client = desktop->rect;
    desktop->normalRect = desktop->rect;
    desktop->created = true;
    classes.push_back(std::move(desktopClass));
}

UserState::~UserState() = default;

UserState& User() {
    auto& state = StatePtr();
    if (!state) MakeState();
    return *state;
}

void ResetUserStateForTests() {
    StatePtr().reset();
    MakeState();
}

}  // namespace win
