#pragma once
// The state an "mdiclient" window keeps, shared by the MDI module's files.
#include <string>
#include <vector>

#include "platform/mdi.h"
#include "platform/window_internal.h"

namespace win {

struct MdiClientData : WindowExtension {
    HWND client = nullptr;
    HWND frame = nullptr;
    HMENU windowMenu = nullptr;
    UINT idFirst = 0;
    HWND active = nullptr;
    std::vector<HWND> children;  // creation order; a child's id is idFirst + its index
    // The window menu entries made here: the separator (when one was added) and one per child.
    bool listSeparator = false;
    int listed = 0;
    // The maximised child whose icon and buttons are in the frame's menu bar, and that bar.
    HWND maxInBar = nullptr;
    HMENU barWithButtons = nullptr;
    // The frame's own title while its caption shows a maximised child's.
    std::string frameTitle;
    bool titleComposed = false;
};

void RegisterMdiModule();

MdiClientData* MdiData(HWND client);
// The data of the client a child belongs to, or null for a window that is no MDI child.
MdiClientData* MdiDataOfChild(HWND child);

void ActivateMdiChild(MdiClientData* d, HWND child);
void ActivateNextMdiChild(MdiClientData* d, HWND from, bool previous);
// Puts the active child's icon and buttons into the frame's bar (or takes them out) and the
// frame's caption to match.
void SyncMaximizedChild(MdiClientData* d);
void SetFrameTitle(MdiClientData* d);
void RefreshWindowMenu(MdiClientData* d);
// Visible children in z-order, front first.
std::vector<HWND> VisibleMdiChildren(MdiClientData* d, bool skipIconic, bool skipDisabled);

// "More Windows...": the child chosen from a list of them all, or null.
HWND ChooseFromMoreWindows(MdiClientData* d);

// mdi_arrange.cpp
BOOL TileMdiChildren(MdiClientData* d, WPARAM how);
BOOL CascadeMdiChildren(MdiClientData* d, WPARAM how);
// Returns the height the icon rows take at the bottom of the client (0 with no icons).
int ArrangeMdiIcons(MdiClientData* d);

}  // namespace win
