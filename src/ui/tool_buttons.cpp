#include "ui/tool_buttons.h"

#include <algorithm>

#include "ui/component_buttons.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {

void InvalidateDlgItem(win::HWND bar, int commandId)
{
    if (!bar) return;
    win::HWND button = win::GetDlgItem(bar, commandId);
    if (button) win::InvalidateRect(button, nullptr, win::TRUE);
}

namespace {

bool IsSchematicKind(int kind) { return kind == kWindowSchematic || kind == kWindowPlainSchematic; }
bool IsTextKind(int kind) { return kind == kWindowTextCircuit; }

// The command's own rule; true when it disables the button.
bool OwnRuleDisables(std::uint32_t command, const ToolButtonSituation& s)
{
    const bool runActive = s.running || s.paused;
    const bool textNotCurrent = IsTextKind(s.kind) && !s.isCurrentDocument;
    switch (command) {
    case 12201: return !(IsSchematicKind(s.kind) && !s.analysisOpen && s.pageCount > 1);
    case 12506: return s.untitled || (s.analysisOpen && !textNotCurrent);
    case 17103:
    case 17104: return s.analysisOpen && !textNotCurrent;
    case 12510: return s.kind == kWindowModelLibrary || (runActive && !IsSchematicKind(s.kind));
    case 12511: return !s.canPrint || runActive;
    case 16059: return runActive;
    case 18613: return !(s.running && !s.paused);
    case 16058: return !runActive;
    default: break;
    }
    switch (command) {
    case 17150: case 17151: case 15679: case 17158: case 17157: case 17181:
    case 14570: case 14572: case 14600: case 14602:
        if (s.analysisOpen && runActive) return true;
        break;
    default: break;
    }
    switch (command) {
    case 17157: return !(s.histogramCount < 10 && s.monteCarloData);
    case 17163: return s.kind != kWindowMonteCarlo;
    case 17181: return s.histogramCount < 1;
    case 14570: return !(s.performanceWindows < 10 && (s.steppedData || s.monteCarloData));
    case 14571: return s.kind != kWindowPerformance;
    case 14572: return s.performanceWindows < 1;
    case 14600: return !(s.threeDWindows < 10 && s.plotHasCurves && s.steppedCases >= 1);
    case 14601: return s.kind != kWindow3D;
    case 14602: return s.threeDWindows < 1;
    case 15679: return !((s.kind == kWindowAnalysis || s.kind == kWindowPerformance) && s.plotHasCurves);
    case 17404: return IsSchematicKind(s.kind) && s.analysisOpen && !s.nodeVoltagesAvailable;
    case 17453: return !s.digitalPathData;
    // A netlist's limits are edited as a drawn circuit's are (what changes is written back into
    // its analysis lines), so Limits stays for it; a netlist has no drawing to animate.
    case 16060: return s.analysisOpen && s.analysisState != 0;
    case 17171: return s.analysisOpen && (s.analysisState != 0 || s.currentDocumentIsText);
    default: return false;
    }
}

// Whether one of the row's window bits fits the active window.
bool WindowBitsMatch(std::uint32_t flags, const ToolButtonSituation& s)
{
    if ((flags & kToolInSchematic) && IsSchematicKind(s.kind) && !s.analysisOpen) return true;
    if ((flags & kToolInSchematicAnalysis) && IsSchematicKind(s.kind) && s.analysisOpen) return true;
    if ((flags & kToolInTextNetlist) && IsTextKind(s.kind)) return true;
    if ((flags & kToolInModelLibrary) && s.kind == kWindowModelLibrary) return true;
    if ((flags & kToolInEmptyPlot) && s.kind == kWindowAnalysis && !s.plotHasCurves) return true;
    if ((flags & kToolInPlotWithCurves) && s.kind == kWindowAnalysis && s.plotHasCurves) return true;
    if ((flags & kToolInMonteCarlo) && s.kind == kWindowMonteCarlo) return true;
    if ((flags & kToolIn3D) && s.kind == kWindow3D) return true;
    if ((flags & kToolInPerformance) && s.kind == kWindowPerformance) return true;
    return false;
}

// The edit buttons follow the window's own edit state.
int EditStateFor(std::uint32_t command, const ToolButtonSituation& s)
{
    if (!IsSchematicKind(s.kind) && !IsTextKind(s.kind)) return 0;
    switch (command) {
    case 17200: return (!s.canUndo || s.analysisOpen) ? 1 : 0;
    case 17201:
    case 17204: return (!s.hasSelection || s.analysisOpen) ? 1 : 0;
    case 17202: return s.hasSelection ? 0 : 1;
    case 17203: return (!s.clipboardFull || s.analysisOpen) ? 1 : 0;
    case 17205: return s.hasItems ? 0 : 1;
    default: return 0;
    }
}

}  // namespace

int ToolButtonStateFor(std::uint32_t command, const ToolButtonSituation& s)
{
    int index = FindToolButton(command);
    if (index < 0) return 1;
    const std::uint32_t flags = ToolButtonRows()[static_cast<std::size_t>(index)].flags;
    if (s.busy && !(flags & kToolChangesWhileBusy)) return 1;
    if (!s.childActive) return (flags & kToolWithoutChild) ? 0 : 1;
    if (OwnRuleDisables(command, s)) return 1;
    if ((flags & kToolNeedsCurves) && !s.plotHasCurves) return 1;
    if (!(flags & kToolInAnyWindow) && !WindowBitsMatch(flags, s)) return 1;
    return 0;
}

bool IsToolButtonShown(int slot, int row, const ToolButtonSituation& s, bool* disabled)
{
    if (disabled) *disabled = false;
    if (row < 0 || row >= kToolButtonRowCount || slot < 0 || slot >= kToolSlotCount) return false;
    const ToolButtonRow& r = ToolButtonRows()[static_cast<std::size_t>(row)];
    if (row == kToolListRow) return slot > 0 && !DockedBars()[static_cast<std::size_t>(slot)].entries.empty();
    if (slot != 0 || (r.flags & kToolMenuOnly)) return false;
    bool available;
    bool chosen;
    if (!s.analysisOpen) {
        available = (r.flags & kToolOnSchematicBar) != 0;
        chosen = r.onSchematic != 0;
    } else {
        available = (r.flags & kToolOnAnalysisBar) && !((r.flags & kToolHiddenByAnalysisState) && s.analysisState != 0);
        chosen = r.onAnalysis != 0;
    }
    if (!available && disabled) *disabled = true;
    return available && chosen;
}

bool SetToolButtonState(std::uint32_t command, int state, bool busy)
{
    int index = FindToolButton(command);
    if (index < 0) return false;
    ToolButtonRow& row = ToolButtonRows()[static_cast<std::size_t>(index)];
    if (row.state == state) return false;
    if (busy && !(row.flags & kToolChangesWhileBusy)) return false;
    row.state = static_cast<std::int16_t>(state);
    InvalidateDlgItem(DockedBars()[0].window, static_cast<int>(command));
    return true;
}

std::vector<std::uint32_t> ComputeToolButtonStates(const ToolButtonSituation& s)
{
    std::vector<std::uint32_t> changed;
    for (int i = 0; i < kToolButtonRowCount; ++i) {
        const ToolButtonRow& row = ToolButtonRows()[static_cast<std::size_t>(i)];
        if (i == kToolListRow) continue;
        bool unavailable = false;
        IsToolButtonShown(0, i, s, &unavailable);
        int state = (unavailable || ToolButtonStateFor(row.command, s) || EditStateFor(row.command, s)) ? 1 : 0;
        if (SetToolButtonState(row.command, state, s.busy)) changed.push_back(row.command);
    }
    return changed;
}

std::array<DockedBar, kToolSlotCount>& DockedBars()
{
    static std::array<DockedBar, kToolSlotCount> bars;
    return bars;
}

void ResetDockedBarsForTests() { DockedBars() = {}; }

namespace {

constexpr int kCaptionHeight = 14;  // the close-box picture's height

// The palette's list is measured in the font its list box shows: the widest entry and the line.
win::SIZE PaletteListSize(const std::vector<std::string>& entries)
{
    win::HDC dc = win::GetDC(nullptr);
    win::HGDIOBJ old = win::SelectObject(dc, win::GetStockObject(win::SYSTEM_FONT));
    win::TEXTMETRIC tm;
    win::GetTextMetrics(dc, &tm);
    win::LONG widest = 0;
    for (const std::string& entry : entries) widest = std::max(widest, win::GetTextExtent(dc, entry).cx);
    win::SelectObject(dc, old);
    win::ReleaseDC(nullptr, dc);
    return win::SIZE{widest + 8, static_cast<win::LONG>(entries.size()) * tm.tmHeight + 2};
}

}  // namespace

ToolLayout LayoutToolButtons(int slot, int barWidth, const ToolButtonSituation& s, int screenHeight)
{
    ToolLayout layout;
    const DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
    const int top = bar.pos == kBarFloating ? kCaptionHeight + 1 : 1;
    if (slot > 0) {
        const win::SIZE list = PaletteListSize(bar.entries);
        int width = list.cx;
        const int height = list.cy;
        if (height > screenHeight / 2) width += 16;
        layout.buttons.push_back({102, win::RECT{1, top, 1 + width, top + height}});
        layout.width = width + 2;
        layout.height = std::min(top + height, screenHeight);
        return layout;
    }
    int x = 1;
    int y = top;
    int lineHeight = 0;
    for (int i = 0; i < kToolListRow; ++i) {
        if (!IsToolButtonShown(slot, i, s)) continue;
        const ToolButtonRow& row = ToolButtonRows()[static_cast<std::size_t>(i)];
        if (x > 1 && x + kToolCellWidth > barWidth) {
            x = 1;
            y += kToolCellHeight - 1;
        }
        layout.buttons.push_back({row.command, win::RECT{x, y, x + kToolCellWidth, y + kToolCellHeight}});
        layout.width = std::max(layout.width, x + kToolCellWidth);
        lineHeight = kToolCellHeight;
        x += kToolCellWidth - 1;
        if (row.flags & kToolClusterEnd) x += 3;
    }
    layout.height = std::min(y + lineHeight, screenHeight);
    return layout;
}

win::RECT ComputeBarRect(int slot, int clientWidth, int clientHeight, int statusHeight,
                         const ToolButtonSituation& s, int screenWidth, int screenHeight)
{
    DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
    const int cw = kToolCellWidth;
    int x = 0, y = 0, width = 0, height = 0;
    switch (slot == 0 ? bar.pos : kBarFloating) {
    case kBarLeft:
    case kBarRight: {
        const int room = clientHeight - statusHeight;
        for (int n = 1; n <= 20; ++n) {
            width = (cw - 1) * n + 8;
            height = LayoutToolButtons(slot, width - 6, s, screenHeight).height + 1;
            if (height <= room) break;
        }
        x = bar.pos == kBarLeft ? -1 : clientWidth - width + 1;
        y = -1;
        break;
    }
    case kBarTop:
    case kBarBottom: {
        ToolLayout layout = LayoutToolButtons(slot, clientWidth - 6, s, screenHeight);
        width = std::min(layout.width + 7, screenWidth + 1) + 2;
        height = layout.height + 1;
        x = -1;
        y = bar.pos == kBarTop ? -1 : clientHeight - height - 1;
        break;
    }
    default: {
        ToolLayout layout = LayoutToolButtons(slot, (cw - 1) * 6 + 2, s, screenHeight);
        width = slot == 0 ? (cw - 1) * 6 + 8 : layout.width;
        height = layout.height + 1;
        x = std::max(bar.x, -1);
        y = std::max(bar.y, -1);
        break;
    }
    }
    return win::RECT{x, y, x + width, y + height};
}

int DockClassAt(int slot, win::POINT p, const win::RECT& client)
{
    if (slot != 0) return kBarFloating;
    if (p.x > client.right - kToolCellWidth) return kBarRight;
    if (p.x < client.left + kToolCellWidth) return kBarLeft;
    if (p.y < client.top + kToolCellHeight) return kBarTop;
    if (p.y > client.bottom - kToolCellHeight) return kBarBottom;
    return kBarFloating;
}

void HideVisibleBars(int mark)
{
    for (int slot = 1; slot < kToolSlotCount; ++slot) {
        DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
        if (!bar.visible) continue;
        bar.visible = 0;
        bar.hiddenBy[static_cast<std::size_t>(mark)] = 1;
        if (bar.window) win::ShowWindow(bar.window, win::SW_HIDE);
    }
}

void RestoreHiddenBars(int mark)
{
    for (int slot = 1; slot < kToolSlotCount; ++slot) {
        DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
        if (!bar.hiddenBy[static_cast<std::size_t>(mark)]) continue;
        bar.hiddenBy[static_cast<std::size_t>(mark)] = 0;
        bar.visible = 1;
        if (bar.window) win::ShowWindow(bar.window, win::SW_SHOW);
    }
}

}  // namespace kq5

namespace kq5 {

void BindComponentToolButtons(const std::vector<std::string>& componentNames)
{
    for (ToolButtonRow& row : ToolButtonRows()) {
        if (!IsComponentButtonRow(row)) continue;
        const std::string& name = ComponentButtonName(static_cast<int>(row.bitmap));
        row.componentCommand = 0;
        for (std::size_t n = 0; n < componentNames.size() && !name.empty(); ++n) {
            if (EqualsNoCase(componentNames[n], name)) {
                row.componentCommand = kComponentMenuBase + static_cast<std::uint32_t>(n);
                break;
            }
        }
        if (row.componentCommand == 0) row.onSchematic = row.onAnalysis = 0;
    }
}

int FindComponentButton(std::string_view name)
{
    for (const ToolButtonRow& row : ToolButtonRows()) {
        if (IsComponentButtonRow(row) && row.onSchematic && EqualsNoCase(ComponentButtonName(static_cast<int>(row.bitmap)), name))
            return static_cast<int>(row.command);
    }
    return -1;
}

}  // namespace kq5
