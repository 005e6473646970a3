// Dropped files: the drop handle and its queries.
#include "platform/shell_drop.h"

#include <algorithm>
#include <memory>

#include "platform/disk_file_names.h"
#include "platform/input.h"
#include "platform/message.h"
#include "platform/user_state.h"

struct win::DropObject {
    std::vector<std::string> files;
    POINT pt;  // client coordinates of the target window
    bool inClient = false;
};

namespace win {

namespace {

std::vector<std::unique_ptr<DropObject>>& Drops() {
    static std::vector<std::unique_ptr<DropObject>> drops;
    return drops;
}

DropObject* Live(HDROP drop) {
    auto& d = Drops();
    auto it = std::find_if(d.begin(), d.end(), [&](auto& p) { return p.get() == drop; });
    return it == d.end() ? nullptr : it->get();
}

}  // namespace

void DragAcceptFiles(HWND hwnd, BOOL accept) {
    if (auto* w = LiveWindow(hwnd)) {
        if (accept)
            w->exStyle |= WS_EX_ACCEPTFILES;
        else
            w->exStyle &= ~WS_EX_ACCEPTFILES;
    }
}

void InputDropFiles(int x, int y, const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    WindowObject* target = WindowAtPoint(DesktopObject(), POINT{x, y});
    while (target && target != DesktopObject() && !(target->exStyle & WS_EX_ACCEPTFILES)) target = target->parent;
    if (!target || target == DesktopObject()) return;
    auto drop = std::make_unique<DropObject>();
    drop->files = paths;
    POINT o = ClientOriginOnScreen(target);
    drop->pt = POINT{x - o.x, y - o.y};
    RECT client = ClientRectLocal(target);
    drop->inClient = PtInRect(&client, drop->pt) != 0;
    HDROP h = drop.get();
    Drops().push_back(std::move(drop));
    PostMessage(target, WM_DROPFILES, reinterpret_cast<WPARAM>(h), 0);
}

UINT DragQueryFile(HDROP drop, UINT index, std::string* name) {
    auto* d = Live(drop);
    if (!d) return 0;
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(d->files.size());
    if (index >= d->files.size()) return 0;
    // The desktop names files in UTF-8; the program holds names as its other texts.
    const std::string text = FileNameFromDisk(d->files[index]);
    if (name) *name = text;
    return static_cast<UINT>(text.size());
}

BOOL DragQueryPoint(HDROP drop, POINT* pt) {
    auto* d = Live(drop);
    if (!d || !pt) return FALSE;
    *pt = d->pt;
    return d->inClient ? TRUE : FALSE;
}

void DragFinish(HDROP drop) {
    auto& d = Drops();
    d.erase(std::remove_if(d.begin(), d.end(), [&](auto& p) { return p.get() == drop; }), d.end());
}

}  // namespace win
