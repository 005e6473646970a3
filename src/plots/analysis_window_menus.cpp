// The menu bar while an analysis window exists: the circuit's "&Component" and "&Analysis" leave
// it, and the analysis popup (titled by the analysis kind), "&Scope", "&Cursor Functions" and
// "&Monte Carlo" stand before "&Help" until the window closes; in probe mode "&Probe", the kind's
// "&Vertical" and "&Horizontal" choices and "&Scope" stand there instead.
#include <algorithm>
#include <string>
#include <vector>

#include "analog/run_control.h"
#include "ui/frame_state.h"
#include "ui/menu_handles.h"
#include "core/message_reporter.h"
#include "platform/menu.h"
#include "platform/window.h"
#include "plots/analysis_window.h"

namespace kq5 {

namespace {

constexpr int kMsgKindMenuBase = 13980;  // "&Transient" + AnalysisKind
constexpr int kAnalysisMenus = 102;
constexpr int kMonteCarloMenus = 101;
constexpr int kProbeMenu = 103;
constexpr int kProbeAxisMenus = 104;  // + 2 x kind: Vertical, then Horizontal
const char* const kLeaving[] = {"&Component", "&Analysis"};

struct RemovedPopup {
    int position = 0;
    win::HMENU popup = nullptr;
    std::string text;
    win::HMENU next = nullptr;  // the popup that followed it on the bar
};

struct MenuSwap {
    bool swapped = false;
    std::vector<RemovedPopup> removed;  // in the order of their positions
    std::vector<win::HMENU> inserted;
};

MenuSwap& Swap()
{
    static MenuSwap swap;
    return swap;
}

win::HMENU Bar() { return Frame().frame ? win::GetMenu(Frame().frame) : nullptr; }

int FindByText(win::HMENU bar, const std::string& text)
{
    const int count = win::GetMenuItemCount(bar);
    for (int i = 0; i < count; ++i)
        if (win::GetMenuString(bar, static_cast<win::UINT>(i), win::MF_BYPOSITION) == text) return i;
    return -1;
}

int FindByPopup(win::HMENU bar, win::HMENU popup)
{
    const int count = win::GetMenuItemCount(bar);
    for (int i = 0; i < count; ++i)
        if (win::GetSubMenu(bar, i) == popup) return i;
    return -1;
}

}  // namespace

void SwapAnalysisMenus(int kind)
{
    win::HMENU bar = Bar();
    MenuSwap& swap = Swap();
    if (!bar || swap.swapped) return;
    // Positions as the bar has them now: taken out from the last, put back from the first.
    for (const char* name : kLeaving) {
        const int at = FindByText(bar, name);
        if (at >= 0) swap.removed.push_back({at, win::GetSubMenu(bar, at), name, win::GetSubMenu(bar, at + 1)});
    }
    std::sort(swap.removed.begin(), swap.removed.end(),
              [](const RemovedPopup& a, const RemovedPopup& b) { return a.position < b.position; });
    for (auto r = swap.removed.rbegin(); r != swap.removed.rend(); ++r)
        win::RemoveMenu(bar, static_cast<win::UINT>(r->position), win::MF_BYPOSITION);
    int at = FindByText(bar, "&Help");
    if (at < 0) at = win::GetMenuItemCount(bar);
    const auto insert = [&](win::HMENU popup, const std::string& text) {
        if (!popup) return;
        win::InsertMenu(bar, static_cast<win::UINT>(at++), win::MF_BYPOSITION | win::MF_POPUP,
                        reinterpret_cast<win::UINT_PTR>(popup), text.c_str());
        swap.inserted.push_back(popup);
    };
    if (RunControl().probeFlag) {
        // Probe mode: the probe's own popup, the quantity choices of the kind, then "&Scope".
        const int k = std::clamp(kind, 0, 2);
        for (const int id : {kProbeMenu, kProbeAxisMenus + 2 * k, kProbeAxisMenus + 2 * k + 1})
            if (win::HMENU menu = LoadedMenu(id))
                insert(win::GetSubMenu(menu, 0), win::GetMenuString(menu, 0, win::MF_BYPOSITION));
        if (win::HMENU analysis = LoadedMenu(kAnalysisMenus))
            insert(win::GetSubMenu(analysis, 1), win::GetMenuString(analysis, 1, win::MF_BYPOSITION));
        swap.swapped = true;
        win::DrawMenuBar(Frame().frame);
        return;
    }
    if (win::HMENU analysis = LoadedMenu(kAnalysisMenus)) {
        insert(win::GetSubMenu(analysis, 0), LoadResString(kMsgKindMenuBase + std::clamp(kind, 0, 2)));
        for (int i = 1; i < win::GetMenuItemCount(analysis); ++i)
            insert(win::GetSubMenu(analysis, i), win::GetMenuString(analysis, static_cast<win::UINT>(i), win::MF_BYPOSITION));
    }
    if (win::HMENU monteCarlo = LoadedMenu(kMonteCarloMenus))
        insert(win::GetSubMenu(monteCarlo, 0), win::GetMenuString(monteCarlo, 0, win::MF_BYPOSITION));
    swap.swapped = true;
    win::DrawMenuBar(Frame().frame);
}

void RestoreCircuitMenus()
{
    win::HMENU bar = Bar();
    MenuSwap& swap = Swap();
    if (!swap.swapped) return;
    if (bar) {
        for (win::HMENU popup : swap.inserted) {
            const int at = FindByPopup(bar, popup);
            if (at >= 0) win::RemoveMenu(bar, static_cast<win::UINT>(at), win::MF_BYPOSITION);
        }
        // Each goes back before the popup that followed it, the last first: a maximised child's
        // system menu may have come or gone at the front of the bar meanwhile, so the old
        // positions alone would put them one place off.
        for (auto r = swap.removed.rbegin(); r != swap.removed.rend(); ++r) {
            const int next = r->next ? FindByPopup(bar, r->next) : -1;
            const int at = next >= 0 ? next : std::min(r->position, win::GetMenuItemCount(bar));
            win::InsertMenu(bar, static_cast<win::UINT>(at), win::MF_BYPOSITION | win::MF_POPUP,
                            reinterpret_cast<win::UINT_PTR>(r->popup), r->text.c_str());
        }
        win::DrawMenuBar(Frame().frame);
    }
    swap = MenuSwap{};
}

}  // namespace kq5
