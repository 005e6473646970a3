#include "analyses/graph3d_window.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "document/analysis_windows.h"
#include "analyses/graph3d_draw.h"
#include "analyses/graph3d_prepare.h"
#include "analyses/run_subset.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/edit_mode.h"
#include "ui/frame_state.h"
#include "ui/preference_values.h"
#include "ui/print_layout_services.h"
#include "ui/usage_file.h"
#include "ui/wait_cursor.h"
#include "ui/window_class.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "platform/cursor.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/mdi.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/win_messages.h"
#include "platform/win_styles.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/plot_cursors.h"
#include "plots/plot_layout.h"
#include "plots/plot_object_draw.h"
#include "plots/plot_window_services.h"
#include "analog/analysis_window_services.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

constexpr int kFlashWaitMs = 125;
constexpr int kHandleHalf = 2;
constexpr int kAngleStep = 4;
constexpr int kKeyStep = 10;
constexpr int kFirstGraph3DDefault = 40;  // font, grid, wire grid, background, X/Y/Z planes

struct WindowsState {
    Graph3DDragState drag;
    std::unordered_map<const WindowRecord*, Graph3DPlot*> plots;
    Graph3DPlot* creating = nullptr;  // the plot whose window WM_CREATE is making
    LinkedList* creatingList = nullptr;
};

WindowsState& State()
{
    static WindowsState state;
    return state;
}

PlotRecord* AnalysisPlot()
{
    WindowRecord* analysis = RunControl().analysisWindow;
    if (!analysis || !IsLiveWindowRecord(analysis) || !analysis->plot) return nullptr;
    return analysis->plot.get();
}

bool AnalysisHasCurves()
{
    const PlotRecord* plot = AnalysisPlot();
    return plot && plot->curveCount > 0;
}

win::RECT ClientOf(WindowRecord* record)
{
    win::RECT r{};
    if (record && record->window) win::GetClientRect(record->window, &r);
    return r;
}

void CloseWindowOf(WindowRecord* record)
{
    if (record && record->window && win::IsWindow(record->window)) DestroyPlotChildWindow(record->window);
}

void KeepPlacement(Graph3DPlot& plot)
{
    WindowRecord* record = plot.surface.window;
    if (!record || !record->window) return;
    plot.view.placement.length = sizeof(win::WINDOWPLACEMENT);
    win::GetWindowPlacement(record->window, &plot.view.placement);
}

void PaintGraph3DWindow(WindowRecord* record, Graph3DPlot& plot, win::HDC dc)
{
    if (State().drag.handle >= 0 && State().drag.window == record) return;
    if (!AnalysisHasCurves() || plot.surface.curveIndex < 0 || plot.function.expression.empty()) return;
    const win::RECT client = ClientOf(record);
    const bool cursors = InCursorMode(record) && !RunControl().running;
    DrawGraph3DWindow(plot, dc, client, cursors);
    if (cursors) {
        Graph3DView view;
        if (PrepareGraph3DView(plot, dc, client, true, view)) DrawGraph3DCursor(plot, dc, view, -1);
    }
    DrawPlotObjects(record, dc, -1, nullptr);
}

// Outside a drag the mouse edits the window's plot objects like in any plot window, but not
// while a run is filling the analysis plot.
bool CommonMouseHandling(WindowRecord* record) { return record && !RunControl().running && AnalysisHasCurves(); }

void DrawCursorMarks(WindowRecord* record, int which)
{
    Graph3DPlot* plot = Graph3DPlotOfWindow(record);
    if (!plot || !record->window || !InCursorMode(record)) return;
    const win::HDC dc = win::GetDC(record->window);
    Graph3DView view;
    if (PrepareGraph3DView(*plot, dc, ClientOf(record), true, view)) DrawGraph3DCursor(*plot, dc, view, which);
    win::ReleaseDC(record->window, dc);
}

void DrawDragBox(WindowRecord* record, Graph3DPlot& plot, const Graph3DView& view)
{
    const win::HDC dc = win::GetDC(record->window);
    DrawGraph3DBox(plot, dc, view, true);
    win::ReleaseDC(record->window, dc);
}

win::POINT PointOf(win::LPARAM lParam) { return win::POINT{win::GET_X_LPARAM(lParam), win::GET_Y_LPARAM(lParam)}; }

// The three axis ends a drag can take, in the order they are tested.
struct HandleCorner {
    int handle;
    double x, y, z;
};

std::array<HandleCorner, 3> HandleCorners(const Graph3DAxes& a)
{
    return {{{2, a.min[0], a.min[1], a.max[2]}, {1, a.min[0], a.max[1], a.min[2]}, {0, a.max[0], a.min[1], a.min[2]}}};
}

win::POINT HandlePoint(const Graph3DView& view, int handle)
{
    for (const HandleCorner& c : HandleCorners(view.axes))
        if (c.handle == handle) return ProjectGraph3DPoint(view, c.x, c.y, c.z);
    return {};
}

// True when the press started a drag or picked a cursor.
bool OnLButtonDown(WindowRecord* record, Graph3DPlot& plot, win::POINT point)
{
    WindowsState& s = State();
    s.drag.start = point;
    Graph3DView view;
    if (CurrentGraph3DView(record, view)) {
        const int handle = HitRotationHandle(plot, view, point);
        if (handle >= 0) {
            s.drag.handle = handle;
            s.drag.firstMove = 1;
            s.drag.window = record;
            win::SetCapture(record->window);
            return true;
        }
    }
    if (!InCursorMode(record)) return false;
    PickGraph3DCursor(record, 0, point);
    return true;
}

bool Dragging(const WindowRecord* record) { return State().drag.handle >= 0 && State().drag.window == record; }

void OnMouseMove(WindowRecord* record, Graph3DPlot& plot, win::POINT point)
{
    WindowsState& s = State();
    if (!Dragging(record)) return;
    Graph3DView view;
    if (!CurrentGraph3DView(record, view)) return;
    const std::array<double, 3> old = plot.rotation;
    FitRotationToPoint(plot, view, s.drag.handle, point);
    Graph3DView oldView = view;
    BuildGraph3DView(oldView, old, false);
    DrawDragBox(record, plot, oldView);
    if (s.drag.firstMove) {
        win::InvalidateRect(record->window, nullptr, 1);
        win::UpdateWindow(record->window);
        s.drag.firstMove = 0;
    }
    Graph3DView now = view;
    BuildGraph3DView(now, plot.rotation, false);
    DrawDragBox(record, plot, now);
}

void OnLButtonUp(WindowRecord* record)
{
    WindowsState& s = State();
    if (!Dragging(record)) return;
    win::ReleaseCapture();
    s.drag.handle = -1;
    s.drag.window = nullptr;
    win::InvalidateRect(record->window, nullptr, 1);
    win::UpdateWindow(record->window);
}

void OnTimer(WindowRecord* record, Graph3DPlot& plot)
{
    if (!plot.flashCursor || !InCursorMode(record) || win::GetFocus() != record->window) return;
    DrawCursorMarks(record, -1);
    const win::DWORD start = win::GetTickCount();
    // The tick clock always moves on, also the test clock under a busy wait.
    while (win::GetTickCount() - start < static_cast<win::DWORD>(kFlashWaitMs)) {
    }
    DrawCursorMarks(record, -1);
}

void ShowGraph3DPopup(WindowRecord* record, win::POINT point)
{
    if (EditorHooks().editObjectAtPoint && EditorHooks().editObjectAtPoint(record, 0, point.x, point.y)) return;
    const win::HMENU menu = win::CreatePopupMenu();
    if (!menu) return;
    if (AnalysisHasCurves()) win::AppendMenu(menu, win::MF_STRING, kGraph3DCharacteristics, "&Characteristics...");
    win::AppendMenu(menu, win::MF_STRING, kGraph3DHideWindow, "&Hide Window");
    win::POINT screen = point;
    win::ClientToScreen(record->window, &screen);
    win::TrackPopupMenu(menu, win::TPM_LEFTALIGN, screen.x, screen.y, 0, record->window, nullptr);
    win::DestroyMenu(menu);
}

win::LRESULT OnCreate(win::HWND hwnd)
{
    WindowsState& s = State();
    WindowRecord* record = NewWindowRecord(hwnd, kWindow3D);
    if (!record) return -1;
    record->flags |= kRecordHoldsPlotObjects;
    record->markRect = win::RECT{-1, -1, -1, -1};
    if (Graph3DPlot* plot = s.creating) {
        s.plots[record] = plot;
        plot->surface.window = record;
        plot->surface.list = s.creatingList;
        plot->surface.hidden = 0;
        // The window shares the plot's own record; the plot outlives nothing it points to.
        record->plot = std::shared_ptr<PlotRecord>(std::shared_ptr<PlotRecord>(), &plot->view.plot);
        record->title = "Graph3D:" + plot->view.title;
        // Plot objects belong to the analysis kind their window was made under.
        plot->view.plot.analysisKind = std::max<int>(Analysis().analysisKind, 0);
    }
    win::SetTimer(hwnd, kGraph3DTimer, kGraph3DTimerPeriod, nullptr);
    return 0;
}

void OnDestroy(win::HWND hwnd)
{
    WindowsState& s = State();
    win::KillTimer(hwnd, kGraph3DTimer);
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!record) return;
    ReleaseCursorTable(record);
    if (s.drag.window == record) s.drag = Graph3DDragState{};
    Graph3DPlot* plot = Graph3DPlotOfWindow(record);
    s.plots.erase(record);
    record->plot.reset();
    if (plot) {
        plot->surface.FreeGrid();
        plot->surface.window = nullptr;
        LinkedList* list = plot->surface.list;
        if (!plot->surface.hidden && list) ListRemove(*list, plot);
    }
    FreeWindowRecord(record);
    RefreshToolButtonStates();
}

}  // namespace

Graph3DDragState& Graph3DDrag() { return State().drag; }

void ResetGraph3DWindowsForTests() { State() = WindowsState{}; }

bool RegisterGraph3DClass()
{
    // Only a program that makes 3-D windows has them to close or to make again after a run.
    PlotWindowServices().closeGraph3DWindows = CloseGraph3DWindowsOfPlot;
    AnalysisWindowServices().recomputeGraph3DWindows = RecomputeGraph3DWindows;
    // Printed layouts and pictures place the plot by its record and draw its surface into the rectangle.
    SetLayoutWindowServices(kWindow3D, {[](WindowRecord* window) -> PrintPreview* {
                                            Graph3DPlot* plot = Graph3DPlotOfWindow(window);
                                            return plot ? &plot->view.printPreview : nullptr;
                                        },
                                        [](WindowRecord* window, win::HDC dc, const win::RECT& rect) {
                                            Graph3DPlot* plot = Graph3DPlotOfWindow(window);
                                            if (!plot || !AnalysisHasCurves() || plot->surface.curveIndex < 0) return;
                                            DrawGraph3DWindow(*plot, dc, rect, false);
                                            DrawPlotObjects(window, dc, -1, nullptr);
                                        }});
    return RegisterPlotWindowClass(kGraph3DClassName, Graph3DWndProc, win::GetSysColorBrush(win::COLOR_WINDOW));
}

void UnregisterGraph3DClass() { win::UnregisterClass(kGraph3DClassName, nullptr); }

Graph3DPlot* Graph3DPlotOfWindow(const WindowRecord* window)
{
    const auto& plots = State().plots;
    const auto it = plots.find(window);
    return it == plots.end() ? nullptr : it->second;
}

LinkedList* CurrentGraph3DList()
{
    WindowRecord* circuit = RunControl().circuitWindow;
    if (!circuit || !IsLiveWindowRecord(circuit) || !circuit->document) return nullptr;
    const int kind = std::clamp<int>(Analysis().analysisKind, 0, kAnalysisKindCount - 1);
    return &circuit->document->graph3DWindows[static_cast<std::size_t>(kind)];
}

void InitGraph3DPlot(Graph3DPlot& plot)
{
    const auto& defaults = PreferenceSettings().defaultAttributes;
    auto colour = [&](int i) { return defaults[static_cast<std::size_t>(kFirstGraph3DDefault + i)].color; };
    plot.view.title = "New";
    plot.view.autoTitle = 1;
    plot.view.font = defaults[kFirstGraph3DDefault];
    plot.view.objectFont = plot.view.font;
    plot.gridColor = colour(1);
    plot.wireGridColor = colour(2);
    plot.view.winBackgroundColor = colour(3);
    plot.backgroundColor = {colour(4), colour(5), colour(6)};
    plot.patchesX = plot.patchesZ = 40;
    plot.color = kPatchRainbow;
    plot.isolines = plot.axisBackground = plot.grid = plot.axes = plot.scales = 1;
    plot.contour = plot.flashCursor = 0;
    plot.rotation = {30.0, 30.0, 0.0};
    plot.performance = kGraph3DExpression;
    const std::string& scale = PreferenceSettings().scaleFormat;
    const std::string& value = PreferenceSettings().valueFormat;
    plot.scaleFormat = {scale, scale, scale};
    plot.valueFormat = {value, value, value};
    plot.function.function = 0;
    plot.function.boolean = "1";
    plot.function.args = {1.0, 1.0, 2.0};
    plot.function.xData = kAxisSourceXVariable;
    // The Z axis: the temperatures, the cases, or the last stepped slot in use.
    if (PlotRecord* analysis = AnalysisPlot()) {
        const Graph3DSources sources = LiveGraph3DSources(analysis->store);
        int z = 0;
        if (sources.plan.temperatureCount > 1) z = kAxisSourceTemperature;
        if (sources.plan.monteCarloActive) z = kAxisSourceCase;
        for (int k = 0; k < kSteppingCases; ++k) {
            if (sources.plan.slotCounts[static_cast<std::size_t>(k)] <= 0) continue;
            z = kAxisSourceStepSlot + k;
            if (sources.plan.simultaneous) break;
        }
        plot.function.zData = z;
        if (analysis->curveCount > 0) plot.function.expression = analysis->curves[0]->yExpressionText;
    }
}

WindowRecord* CreateGraph3DWindow(Graph3DPlot& plot, LinkedList& list)
{
    if (!RegisterGraph3DClass()) return nullptr;
    WindowsState& s = State();
    s.creating = &plot;
    s.creatingList = &list;
    const win::HWND hwnd = CreatePlotChildWindow(kGraph3DClassName, "Graph3D:" + plot.view.title);
    s.creating = nullptr;
    s.creatingList = nullptr;
    if (!hwnd) return nullptr;
    return plot.surface.window;
}

void PrepareGraph3DData(WindowRecord* window)
{
    Graph3DPlot* plot = Graph3DPlotOfWindow(window);
    PlotRecord* analysis = AnalysisPlot();
    if (!plot || !IsLiveWindowRecord(window)) return;
    if (!analysis || analysis->store.runCount <= 0) {
        plot->surface.FreeGrid();
        return;
    }
    BeginWaitCursor(window->window);
    const int status = PrepareGraph3DPlot(*plot, *analysis, LiveGraph3DSources(analysis->store));
    EndWaitCursor();
    if (status == kMsgInsufficientMemory) ReportMessage("WE", window, kMsgInsufficientMemory);
    if (window->window) {
        // The record keeps the caption too: the print job shows it as the document's title.
        window->title = "Graph3D:" + plot->view.title;
        win::SetWindowText(window->window, window->title.c_str());
        win::InvalidateRect(window->window, nullptr, 1);
    }
}

void RecomputeGraph3DWindows(int onlyVisible)
{
    std::vector<WindowRecord*> windows;
    for (const auto& entry : State().plots) windows.push_back(const_cast<WindowRecord*>(entry.first));
    const WindowRecord* active = onlyVisible ? GetActiveChildRecord() : nullptr;
    for (WindowRecord* record : windows) {
        if (!record->window) continue;
        if (onlyVisible) {
            if (!win::IsWindowVisible(record->window) || win::IsIconic(record->window)) continue;
            // Entirely behind the active child: nothing of it would show.
            if (active && active != record && active->window) {
                win::RECT mine{}, front{}, both{};
                win::GetWindowRect(record->window, &mine);
                win::GetWindowRect(active->window, &front);
                win::IntersectRect(&both, &mine, &front);
                if (win::EqualRect(&both, &mine)) continue;
            }
        }
        PrepareGraph3DData(record);
    }
}

void CloseGraph3DWindowsOfPlot()
{
    std::vector<Graph3DPlot*> plots;
    for (const auto& entry : State().plots) plots.push_back(entry.second);
    for (Graph3DPlot* plot : plots) {
        KeepPlacement(*plot);
        plot->surface.hidden = 1;
        CloseWindowOf(plot->surface.window);
    }
}

int CountGraph3DCurves()
{
    PlotRecord* analysis = AnalysisPlot();
    if (!analysis) return 0;
    const Graph3DSources sources = LiveGraph3DSources(analysis->store);
    const RunPlan& plan = sources.plan;
    if (!plan.steppingActive && !plan.monteCarloActive && plan.temperatureCount <= 1) return 0;
    return analysis->curveCount;
}

int AddGraph3DWindow()
{
    LinkedList* list = CurrentGraph3DList();
    if (!list || CountGraph3DCurves() <= 0 || list->count >= kMaxGraph3DPlots) return 1;
    Graph3DPlot* plot = ListAppendAs<Graph3DPlot>(*list, kKindGraph3DWindow);
    if (!plot) {
        ReportMessage("E", kMsgInsufficientMemory);
        return kMsgInsufficientMemory;
    }
    InitGraph3DPlot(*plot);
    WindowRecord* window = CreateGraph3DWindow(*plot, *list);
    if (!window) {
        ListRemove(*list, plot);
        return kMsgInsufficientMemory;
    }
    PrepareGraph3DData(window);
    if (window->window) {
        if (IsFrameMdiChild(window->window)) win::SendMessage(Frame().mdiClient, win::WM_MDIMAXIMIZE, reinterpret_cast<win::WPARAM>(window->window), 0);
        win::ShowWindow(window->window, win::SW_SHOW);
    }
    RefreshToolButtonStates();
    // A plot the user does not confirm is not made.
    if (OpenAdd3DPlotDialog(window, true) == 0) {
        CloseWindowOf(window);
        return 1;
    }
    return 0;
}

void DeleteGraph3DWindows()
{
    LinkedList* list = CurrentGraph3DList();
    if (!list) return;
    ListSelectDesc desc;
    desc.caption = "Delete 3D Window";
    desc.several = true;
    std::vector<Graph3DPlot*> plots;
    for (Graph3DPlot& plot : ListRecords<Graph3DPlot>(*list)) {
        plots.push_back(&plot);
        desc.items.push_back(plot.view.title);
    }
    if (plots.empty() || RunListSelectDialog(desc) != win::IDOK) return;
    for (auto it = desc.selection.rbegin(); it != desc.selection.rend(); ++it) {
        if (*it < 0 || *it >= static_cast<int>(plots.size())) continue;
        Graph3DPlot* plot = plots[static_cast<std::size_t>(*it)];
        plot->surface.hidden = 0;
        if (plot->surface.window) CloseWindowOf(plot->surface.window);
        else ListRemove(*list, plot);
    }
    RefreshToolButtonStates();
}

void ChangeGraph3DWindow(int n)
{
    LinkedList* list = CurrentGraph3DList();
    if (!list || n < 0) return;
    int i = 0;
    for (Graph3DPlot& plot : ListRecords<Graph3DPlot>(*list)) {
        if (i++ != n) continue;
        if (WindowRecord* window = plot.surface.window) {
            if (window->window && Frame().mdiClient)
                win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(window->window), 0);
            return;
        }
        const win::WINDOWPLACEMENT placement = plot.view.placement;
        WindowRecord* window = CreateGraph3DWindow(plot, *list);
        if (!window) return;
        if (placement.length != 0 && window->window) win::SetWindowPlacement(window->window, &placement);
        PrepareGraph3DData(window);
        if (window->window) win::ShowWindow(window->window, win::SW_SHOW);
        RefreshToolButtonStates();
        return;
    }
}

void RebuildGraph3DMenu(win::HMENU popup)
{
    if (!popup) return;
    const bool usable = CountGraph3DCurves() > 0;
    LinkedList* list = CurrentGraph3DList();
    const bool room = !list || list->count < kMaxGraph3DPlots;
    win::EnableMenuItem(popup, kAdd3DWindowCommand, win::MF_BYCOMMAND | (usable && room ? win::MF_ENABLED : win::MF_GRAYED));
    const WindowRecord* active = GetActiveChildRecord();
    win::EnableMenuItem(popup, kChange3DWindowCommand,
                        win::MF_BYCOMMAND | (usable && active && active->kind == kWindow3D ? win::MF_ENABLED : win::MF_GRAYED));
    std::vector<WindowMenuEntry> entries;
    if (list) {
        for (Graph3DPlot& plot : ListRecords<Graph3DPlot>(*list)) entries.push_back({plot.view.title, plot.surface.window != nullptr});
    }
    RebuildWindowMenuEntries(popup, kFirst3DWindowEntry, kLast3DWindowEntry, entries);
    win::EnableMenuItem(popup, kDelete3DWindowCommand, win::MF_BYCOMMAND | (entries.empty() ? win::MF_GRAYED : win::MF_ENABLED));
}

int RouteGraph3DCommand(int id, WindowRecord* active)
{
    if (id == kAdd3DWindowCommand) {
        AddGraph3DWindow();
        return 0;
    }
    if (id == kChange3DWindowCommand) {
        if (active && active->kind == kWindow3D) OpenAdd3DPlotDialog(active);
        return 0;
    }
    if (id == kDelete3DWindowCommand) {
        DeleteGraph3DWindows();
        return 0;
    }
    if (id >= kFirst3DWindowEntry && id <= kLast3DWindowEntry) {
        ChangeGraph3DWindow(id - kFirst3DWindowEntry);
        return 0;
    }
    return 1;
}

bool CurrentGraph3DView(WindowRecord* window, Graph3DView& view)
{
    Graph3DPlot* plot = Graph3DPlotOfWindow(window);
    if (!plot || !window->window) return false;
    const win::HDC dc = win::GetDC(window->window);
    const bool ok = PrepareGraph3DView(*plot, dc, ClientOf(window), InCursorMode(window), view);
    win::ReleaseDC(window->window, dc);
    return ok;
}

int HitRotationHandle(const Graph3DPlot&, const Graph3DView& view, win::POINT point)
{
    int hit = -1;
    for (const HandleCorner& c : HandleCorners(view.axes)) {
        const win::POINT p = ProjectGraph3DPoint(view, c.x, c.y, c.z);
        const win::RECT box{p.x - kHandleHalf, p.y - kHandleHalf, p.x + kHandleHalf, p.y + kHandleHalf};
        if (win::PtInRect(&box, point)) hit = c.handle;
    }
    return hit;
}

void FitRotationToPoint(Graph3DPlot& plot, const Graph3DView& view, int handle, win::POINT mouse)
{
    if (handle < 0 || handle > 2) return;
    std::array<double, 3> best = plot.rotation;
    best[static_cast<std::size_t>(handle)] = std::trunc(plot.rotation[static_cast<std::size_t>(handle)]);
    const int a = handle == 0 ? 1 : 0;
    const int b = handle == 2 ? 1 : 2;
    long bestDistance = 88888;
    Graph3DView trial = view;
    std::array<double, 3> angles = best;
    for (int u = 0; u <= 90; u += kAngleStep) {
        for (int w = 0; w <= 90; w += kAngleStep) {
            angles[static_cast<std::size_t>(a)] = u;
            angles[static_cast<std::size_t>(b)] = w;
            BuildGraph3DView(trial, angles, false);
            const win::POINT p = HandlePoint(trial, handle);
            const long distance = static_cast<long>(std::hypot(static_cast<double>(p.x - mouse.x), static_cast<double>(p.y - mouse.y)));
            if (distance < bestDistance) {
                bestDistance = distance;
                best = angles;
            }
        }
    }
    plot.rotation = best;
}

int Graph3DKeyRotate(win::HWND hwnd, unsigned key)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    Graph3DPlot* plot = Graph3DPlotOfWindow(record);
    if (!plot) return 0;
    std::array<double, 3>& r = plot->rotation;
    const std::array<double, 3> before = r;
    const std::int32_t contourBefore = plot->contour;
    switch (key) {
    case 'Q': r[0] += kKeyStep; break;
    case 'A': r[0] -= kKeyStep; break;
    case 'W': r[1] += kKeyStep; break;
    case 'S': r[1] -= kKeyStep; break;
    case 'E': r[2] += kKeyStep; break;
    case 'D': r[2] -= kKeyStep; break;
    case 'X': r[0] = 0; r[1] = 90; plot->contour = 0; break;
    case 'Y': r[0] = 90; r[1] = 0; plot->contour = 0; break;
    case 'Z': r[0] = 0; r[1] = 0; plot->contour = 0; break;
    case 'C': plot->contour = plot->contour ? 0 : 1; break;
    default: return 0;
    }
    for (double& angle : r) angle = std::clamp(angle, 0.0, 90.0);
    bool changed = plot->contour != contourBefore;
    for (std::size_t i = 0; i < 3; ++i) changed = changed || static_cast<int>(r[i]) != static_cast<int>(before[i]);
    if (!changed) return 0;
    win::InvalidateRect(hwnd, nullptr, 1);
    return 1;
}

bool PickGraph3DCursor(WindowRecord* window, int which, win::POINT mouse)
{
    Graph3DPlot* plot = Graph3DPlotOfWindow(window);
    Graph3DView view;
    if (!plot || !CurrentGraph3DView(window, view)) return false;
    const auto outline = Graph3DSilhouette(*plot, view);
    const win::HRGN box = win::CreatePolygonRgn(outline.data(), static_cast<int>(outline.size()), win::ALTERNATE);
    const bool inside = box && win::PtInRegion(box, mouse.x, mouse.y);
    if (box) win::DeleteObject(box);
    if (!inside) return false;
    const Graph3DSurface& s = plot->surface;
    const int columns = static_cast<int>(s.xGrid.size());
    for (int r = static_cast<int>(s.zGrid.size()) - 2; r >= 0; --r) {
        for (int c = columns - 2; c >= 0; --c) {
            const auto corners = ProjectGraph3DPatch(*plot, view, c, r);
            const win::HRGN patch = win::CreatePolygonRgn(corners.data(), 4, win::ALTERNATE);
            const bool hit = patch && win::PtInRegion(patch, mouse.x, mouse.y);
            if (patch) win::DeleteObject(patch);
            if (!hit) continue;
            const int cs[4] = {c, c + 1, c + 1, c};
            const int rs[4] = {r, r, r + 1, r + 1};
            int nearest = 0;
            double bestDistance = 1e300;
            for (int k = 0; k < 4; ++k) {
                const auto& p = corners[static_cast<std::size_t>(k)];
                const double d = std::hypot(static_cast<double>(p.x - mouse.x), static_cast<double>(p.y - mouse.y));
                if (d < bestDistance) {
                    bestDistance = d;
                    nearest = k;
                }
            }
            DrawCursorMarks(window, which);
            plot->surface.cursorPoint[static_cast<std::size_t>(which)] = rs[nearest] * columns + cs[nearest];
            DrawCursorMarks(window, which);
            if (CursorTableOwner() == window) SyncGraph3DCursor(window, true);
            if (window->window) win::InvalidateRect(window->window, nullptr, 1);
            return true;
        }
    }
    return false;
}

void SyncGraph3DCursor(WindowRecord* window, bool force)
{
    Graph3DPlot* plot = Graph3DPlotOfWindow(window);
    WindowRecord* analysis = RunControl().analysisWindow;
    if (!plot || !plot->surface.HasGrid() || !AnalysisPlot()) return;
    if (!force && CursorTableOwner() == window) return;
    const Graph3DSurface& s = plot->surface;
    const int columns = static_cast<int>(s.xGrid.size());
    const int points = columns * static_cast<int>(s.zGrid.size());
    std::array<std::array<double, 2>, 3> values{};
    for (std::size_t k = 0; k < 2; ++k) {
        const int point = std::clamp(s.cursorPoint[k], 0, points - 1);
        for (int axis = 0; axis < 3; ++axis)
            values[static_cast<std::size_t>(axis)][k] = PatchCornerValue(*plot, axis, point / columns, point % columns);
    }
    LendCursorTable(analysis, window, s.curveIndex, values[0], values[1], values[2]);
}

win::LRESULT Graph3DWndProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    Graph3DPlot* plot = Graph3DPlotOfWindow(record);
    switch (message) {
    case win::WM_CREATE: return OnCreate(hwnd);
    case win::WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
    case win::WM_PAINT: {
        win::PAINTSTRUCT ps;
        const win::HDC dc = win::BeginPaint(hwnd, &ps);
        if (record && plot) {
            plot->view.plot.updateRect = ps.rcPaint;
            PaintGraph3DWindow(record, *plot, dc);
            plot->view.plot.updateRect = win::RECT{};
        }
        win::EndPaint(hwnd, &ps);
        return 0;
    }
    case win::WM_ERASEBKGND: {
        const auto dc = reinterpret_cast<win::HDC>(wParam);
        win::RECT client{};
        win::GetClientRect(hwnd, &client);
        const win::COLORREF colour = plot ? DrawColorRef(plot->view.plot, dc, plot->view.winBackgroundColor, true)
                                          : win::RGB(255, 255, 255);
        const win::HBRUSH brush = win::CreateSolidBrush(colour);
        win::FillRect(dc, &client, brush);
        win::DeleteObject(brush);
        return 1;
    }
    case win::WM_TIMER:
        if (record && plot && wParam == kGraph3DTimer) OnTimer(record, *plot);
        return 0;
    case win::WM_KEYDOWN:
        if (Graph3DKeyRotate(hwnd, static_cast<unsigned>(wParam))) return 0;
        break;
    case win::WM_MOUSEMOVE:
        if (record && plot && Dragging(record)) OnMouseMove(record, *plot, PointOf(lParam));
        else if (CommonMouseHandling(record)) CallMouseHook(EditorHooks().mouseMove, hwnd, static_cast<unsigned>(wParam), lParam);
        return 0;
    case win::WM_LBUTTONDOWN:
        if (record && plot && OnLButtonDown(record, *plot, PointOf(lParam))) return 0;
        if (CommonMouseHandling(record)) CallMouseHook(EditorHooks().lButtonDown, hwnd, static_cast<unsigned>(wParam), lParam);
        return 0;
    case win::WM_LBUTTONUP:
        if (record && Dragging(record)) OnLButtonUp(record);
        else if (CommonMouseHandling(record)) CallMouseHook(EditorHooks().lButtonUp, hwnd, static_cast<unsigned>(wParam), lParam);
        return 0;
    case win::WM_RBUTTONDOWN:
        State().drag.start = PointOf(lParam);
        if (record && InCursorMode(record) && State().drag.handle < 0) PickGraph3DCursor(record, 1, PointOf(lParam));
        return 0;
    case win::WM_LBUTTONDBLCLK:
        if (record && !RunControl().running) ShowGraph3DPopup(record, PointOf(lParam));
        return 0;
    case win::WM_COMMAND: {
        const int id = static_cast<int>(wParam & 0xFFFF);
        if (id == kGraph3DCharacteristics && record) {
            CountCommandUse(id);
            OpenAdd3DPlotDialog(record);
            return 0;
        }
        if (id == kGraph3DHideWindow && plot) {
            KeepPlacement(*plot);
            plot->surface.hidden = 1;
            CloseWindowOf(record);
            return 0;
        }
        break;
    }
    case win::WM_MDIACTIVATE:
        if (reinterpret_cast<win::HWND>(lParam) == hwnd) {
            RefreshToolButtonStates();
            if (record && InCursorMode(record)) SyncGraph3DCursor(record);
            else ReleaseCursorTable(record);
        }
        break;
    default: break;
    }
    return DefaultPlotWindowProc(hwnd, message, wParam, lParam);
}

}  // namespace kq5
