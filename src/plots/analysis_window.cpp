#include "plots/analysis_window.h"
#include "plots/plot_object_draw.h"

#include <algorithm>
#include <cmath>

#include "core/analysis_state.h"
#include "netlist/numeric_helpers.h"
#include "analog/run_control.h"
#include "ui/color_table.h"
#include "ui/edit_mode.h"
#include "ui/font_select.h"
#include "ui/frame_state.h"
#include "ui/help_bar.h"
#include "ui/status_text.h"
#include "ui/usage_file.h"
#include "ui/window_class.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "platform/cursor.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/mdi.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/win_messages.h"
#include "platform/win_styles.h"
#include "platform/window.h"
#include "analog/analysis_run_services.h"
#include "analog/analysis_window_services.h"
#include "plots/curve_evaluation.h"
#include "plots/curve_ranges.h"
#include "document/default_limits_rows.h"
#include "plots/limits_dialog.h"
#include "plots/plot_characteristics.h"
#include "plots/plot_cursors.h"
#include "plots/plot_draw.h"
#include "plots/plot_layout.h"
#include "plots/plot_setup.h"
#include "plots/plot_view.h"
#include "plots/plot_window_services.h"
#include "results/plot_view_settings.h"
#include "plots/probe_mode.h"
#include "plots/state_variables_editor.h"
#include "document/editor_services.h"

namespace kq5 {

PlotWindowServicesState& PlotWindowServices()
{
    static PlotWindowServicesState services;
    return services;
}

namespace {

// The 3-D and Monte Carlo windows measure the analysis window's curves: they close with it.
void CloseMeasuringWindows()
{
    const PlotWindowServicesState& services = PlotWindowServices();
    if (services.closeGraph3DWindows) services.closeGraph3DWindows();
    if (services.closeMonteCarloWindows) services.closeMonteCarloWindows();
}

constexpr int kMsgTitleBase = 5352;  // "Transient Analysis" + AnalysisKind
constexpr int kLayoutWord = 448;
constexpr int kDefaultFontHeight = -12;
constexpr double kMaxDisplayScale = 3.0;
constexpr int kCommandCharacteristics = 15679;

std::string TitleOfKind(int kind) { return LoadResString(kMsgTitleBase + std::clamp(kind, 0, 2)); }

// The document's placements of the circuit and the analysis window: one pair for normal runs,
// one for probe runs.
constexpr std::size_t kCircuitPlacement = 1, kAnalysisPlacement = 2;
constexpr std::size_t kProbeCircuitPlacement = 3, kProbeAnalysisPlacement = 4;

bool PlacementStored(const win::WINDOWPLACEMENT& p)
{
    return p.length != 0 && p.rcNormalPosition.right > p.rcNormalPosition.left &&
           p.rcNormalPosition.bottom > p.rcNormalPosition.top;
}

// The circuit of the analysis, while its window lives.
WindowRecord* LiveCircuit()
{
    WindowRecord* circuit = RunControl().circuitWindow;
    return circuit && IsLiveWindowRecord(circuit) && circuit->document ? circuit : nullptr;
}

// Both windows where they stood the last time an analysis of this kind (probe or not) closed; a
// first probe run puts them side by side.
void RestoreAnalysisPlacements(WindowRecord* analysis)
{
    WindowRecord* circuit = LiveCircuit();
    if (!circuit || !analysis || !IsFrameMdiChild(analysis->window)) return;
    const bool probe = RunControl().probeFlag != 0;
    auto& placements = circuit->document->placements;
    const win::WINDOWPLACEMENT& c = placements[probe ? kProbeCircuitPlacement : kCircuitPlacement];
    const win::WINDOWPLACEMENT& a = placements[probe ? kProbeAnalysisPlacement : kAnalysisPlacement];
    if (PlacementStored(c) && PlacementStored(a)) {
        SetRecordPlacement(circuit, c);
        SetRecordPlacement(analysis, a);
        return;
    }
    if (!probe) return;
    if (win::IsIconic(circuit->window)) win::ShowWindow(circuit->window, win::SW_RESTORE);
    win::SendMessage(Frame().mdiClient, win::WM_MDITILE, win::MDITILE_VERTICAL, 0);
}

void SaveAnalysisPlacements(WindowRecord* analysis)
{
    WindowRecord* circuit = LiveCircuit();
    if (!circuit || !analysis || !IsFrameMdiChild(analysis->window)) return;
    const bool probe = RunControl().probeFlag != 0;
    auto& placements = circuit->document->placements;
    win::WINDOWPLACEMENT c{}, a{};
    if (!GetRecordPlacement(circuit, c) || !GetRecordPlacement(analysis, a)) return;
    placements[probe ? kProbeCircuitPlacement : kCircuitPlacement] = c;
    placements[probe ? kProbeAnalysisPlacement : kAnalysisPlacement] = a;
}

win::LRESULT OnCreate(win::HWND hwnd)
{
    RunControlState& rc = RunControl();
    rc.closeAfterRun = 0;
    WindowRecord* record = NewWindowRecord(hwnd, kWindowAnalysis);
    if (!record) return -1;
    record->flags |= kRecordHoldsPlotObjects;
    WindowRecord* circuit = rc.circuitWindow;
    if (circuit && IsLiveWindowRecord(circuit)) {
        if (!circuit->plot && CreatePlotRecord(circuit) != 0) return -1;
        record->plot = circuit->plot;
        record->title = GetRecordTitle(circuit);
        circuit->markRect = win::RECT{-1, -1, -1, -1};
    }
    rc.analysisWindow = record;
    record->mode = kCommandSelectMode;
    SwapAnalysisMenus(std::max<int>(Analysis().analysisKind, 0));
    (void)kLayoutWord;
    RecreatePlotFont(record, nullptr, true);
    return 0;
}

void OnDestroy(win::HWND hwnd)
{
    if (PlotRun().liveWindow == hwnd) EndLiveDrawing();
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!record) return;
    ReleasePlotWindowObjects(record);
    SaveAnalysisPlacements(record);
    // The performance, 3-D and histogram windows measure this window's curves: they go with it,
    // keeping their records (which live in the circuit's document and may be freed with it).
    const PlotWindowServicesState& services = PlotWindowServices();
    if (services.hidePerformanceWindows) services.hidePerformanceWindows();
    CloseMeasuringWindows();
    RunControlState& rc = RunControl();
    if (rc.analysisWindow == record) rc.analysisWindow = nullptr;
    RestoreCircuitMenus();
    FreeWindowRecord(record);
    // However the window went (F3, its close box, Exit Probe), the analysis ends with it and the
    // editor gets its menus, buttons and commands back.
    if (WindowRecord* frame = FrameRecord()) win::PostMessage(frame->window, win::WM_COMMAND, kCmdEndAnalysis, 0);
}

win::LRESULT OnEraseBackground(win::HWND hwnd, win::HDC dc)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    if (record && record->plot) {
        FillWindowBackground(record, dc, nullptr);
        return 1;
    }
    win::RECT client{};
    win::GetClientRect(hwnd, &client);
    win::FillRect(dc, &client, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
    return 1;
}

}  // namespace

win::LRESULT PlotWindowDefaultProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    return DefaultPlotWindowProc(hwnd, message, wParam, lParam);
}

bool PlotMouseIgnored(const WindowRecord* record)
{
    return RunControl().running || !record || !record->plot || record->plot->curveCount == 0;
}

void PaintPlotWindow(win::HWND hwnd)
{
    win::PAINTSTRUCT ps;
    const win::HDC dc = win::BeginPaint(hwnd, &ps);
    WindowRecord* record = GetWindowRecord(hwnd);
    if (record && record->plot) {
        record->plot->updateRect = ps.rcPaint;
        DrawWindowByType(record, dc);
        record->plot->updateRect = win::RECT{};
    }
    win::EndPaint(hwnd, &ps);
}

bool ForwardPlotMouseMessage(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    if (message != win::WM_MOUSEMOVE && message != win::WM_LBUTTONDOWN && message != win::WM_LBUTTONUP) return false;
    if (PlotMouseIgnored(GetWindowRecord(hwnd))) return true;
    const unsigned keys = static_cast<unsigned>(wParam);
    if (message == win::WM_MOUSEMOVE) CallMouseHook(EditorHooks().mouseMove, hwnd, keys, lParam);
    else if (message == win::WM_LBUTTONDOWN) CallMouseHook(EditorHooks().lButtonDown, hwnd, keys, lParam);
    else CallMouseHook(EditorHooks().lButtonUp, hwnd, keys, lParam);
    return true;
}

bool RegisterAnalysisClass() { return RegisterPlotWindowClass(kAnalysisClassName, AnalysisWndProc); }

void UnregisterAnalysisClass() { win::UnregisterClass(kAnalysisClassName, nullptr); }

win::HWND AnalysisWindowHandle()
{
    WindowRecord* record = RunControl().analysisWindow;
    return record && IsLiveWindowRecord(record) ? record->window : nullptr;
}

int AnalysisProbeState() { return RunControl().probeState; }

int OpenAnalysisWindow()
{
    RunControlState& rc = RunControl();
    const int kind = std::max<int>(Analysis().analysisKind, 0);
    if (rc.analysisWindow && IsLiveWindowRecord(rc.analysisWindow)) {
        WindowRecord* record = rc.analysisWindow;
        if (rc.circuitWindow && rc.circuitWindow->plot && record->plot != rc.circuitWindow->plot)
            record->plot = rc.circuitWindow->plot;
        if (record->window) win::SetWindowText(record->window, TitleOfKind(kind).c_str());
        return 0;
    }
    rc.analysisWindow = nullptr;
    if (!RegisterAnalysisClass()) return kMsgInsufficientMemory;
    const std::string title = TitleOfKind(kind);
    const win::HWND hwnd = CreatePlotChildWindow(kAnalysisClassName, title);
    if (!hwnd || !rc.analysisWindow) return kMsgInsufficientMemory;
    RestoreAnalysisPlacements(rc.analysisWindow);
    if (rc.circuitWindow && rc.probeState == kProbeNone) rc.circuitWindow->mode = kCommandSelectMode;
    return 0;
}

void CloseAnalysisWindow()
{
    RunControlState& rc = RunControl();
    WindowRecord* record = rc.analysisWindow;
    // The 3-D plots stay listed, hidden, to be shown again with the next analysis.
    if (record && IsLiveWindowRecord(record)) CloseMeasuringWindows();
    rc.analysisWindow = nullptr;
    // The schematic drops the run's states and values from its wires and labels.
    if (rc.circuitWindow && IsLiveWindowRecord(rc.circuitWindow)) RedrawCircuitNodeValues(rc.circuitWindow);
    if (!record || !IsLiveWindowRecord(record)) return;
    if (record->window && win::IsWindow(record->window)) {
        DestroyPlotChildWindow(record->window);
        return;
    }
    ReleasePlotWindowObjects(record);
    FreeWindowRecord(record);
}

double ComputePlotScaleFactor(WindowRecord* window, win::HDC dc, int curveIndex)
{
    double ratio = 1.0;
    if (curveIndex >= 0 && window && window->plot && curveIndex < window->plot->curveCount) {
        const CurveRecord& c = *window->plot->curves[static_cast<std::size_t>(curveIndex)];
        const double span = c.axisHigh[kWaveformY] - c.axisLow[kWaveformY];
        const double reference = c.referenceHigh[kWaveformY] - c.referenceLow[kWaveformY];
        if (span != 0.0 && std::isfinite(reference / span)) ratio = reference / span;
    }
    const bool display = dc == nullptr || IsDisplayDC(dc);
    int usable = win::GetSystemMetrics(win::SM_CYSCREEN) -
                 (win::GetSystemMetrics(win::SM_CYCAPTION) + win::GetSystemMetrics(win::SM_CYMENU));
    if (display && StatusBarShown()) usable -= win::GetSystemMetrics(win::SM_CYCAPTION);
    int width = 0, height = 0;
    GetDrawingSurfaceSize(dc, window, width, height);
    if (usable <= 0) return 1.0;
    double factor = static_cast<double>(height) / usable * ratio;
    if (display && factor > kMaxDisplayScale) factor = kMaxDisplayScale;
    if (factor == 0.0 || !std::isfinite(factor)) factor = 1.0;
    return factor;
}

void RemakePlotFont(WindowRecord* window, win::HDC dc)
{
    if (!window || !window->plot) return;
    PlotRecord& plot = *window->plot;
    win::HDC own = nullptr;
    if (!dc && window->window) dc = own = win::GetDC(window->window);
    FontSpec spec = plot.plotFont;
    const int base = spec.height != 0 ? spec.height : kDefaultFontHeight;
    int height = static_cast<int>(std::lround(base * ComputePlotScaleFactor(window, dc, -1)));
    if (height == 0) height = base < 0 ? -1 : 1;
    spec.height = static_cast<std::int16_t>(std::clamp(height, -32767, 32767));
    const win::HFONT font = CreateFontFromSpec(spec);
    if (plot.plotFontHandle) {
        if (dc) win::SelectObject(dc, win::GetStockObject(win::SYSTEM_FONT));
        win::DeleteObject(plot.plotFontHandle);
    }
    plot.plotFontHandle = font;
    if (dc) win::SelectObject(dc, font);
    if (own) win::ReleaseDC(window->window, own);
}

void RecreatePlotFont(WindowRecord* window, win::HDC dc, bool restore)
{
    if (!window || !window->plot) return;
    PlotRecord& plot = *window->plot;
    if (restore) {
        plot.plotFont = PlotViewOf(window->plot).textFont;
        if (plot.plotFont.height == 0) plot.plotFont.height = kDefaultFontHeight;
    }
    RemakePlotFont(window, dc);
}

void ReleasePlotWindowObjects(WindowRecord* window)
{
    if (!window || !window->plot) return;
    if (window->plot->plotFontHandle) win::DeleteObject(window->plot->plotFontHandle);
    window->plot->plotFontHandle = nullptr;
}

void OnPlotDoubleClick(WindowRecord* record, unsigned keyFlags, int x, int y)
{
    if (!record || !record->plot) return;
    if (EditorHooks().editObjectAtPoint && EditorHooks().editObjectAtPoint(record, keyFlags, x, y)) return;
    if (RunControl().probeFlag) {
        const win::HMENU menu = win::CreatePopupMenu();
        win::AppendMenu(menu, win::MF_STRING, kCmdProbeAddPlot, "&Add Plot...");
        if (!ProbeMode().rows.empty()) {
            win::AppendMenu(menu, win::MF_STRING, kCommandCharacteristics, "&Characteristics...");
            win::AppendMenu(menu, win::MF_STRING, kCmdProbeDeletePlots, "&Delete Plot...");
        }
        // At the double click, which is where the cursor stands.
        win::POINT at{x, y};
        win::ClientToScreen(record->window, &at);
        WindowRecord* frame = FrameRecord();
        win::TrackPopupMenu(menu, win::TPM_LEFTBUTTON, at.x, at.y, 0, frame ? frame->window : nullptr, nullptr);
        win::DestroyMenu(menu);
        return;
    }
    if (record->plot->curveCount > 0) {
        CountCommandUse(kCommandCharacteristics);
        OpenPlotCharacteristics(record);
    }
}

win::LRESULT AnalysisWndProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    switch (message) {
    case win::WM_CREATE: return OnCreate(hwnd);
    case win::WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
    case win::WM_SIZE:
        RecreatePlotFont(record, nullptr, true);
        break;
    case win::WM_PAINT:
        PaintPlotWindow(hwnd);
        return 0;
    case win::WM_ERASEBKGND: return OnEraseBackground(hwnd, reinterpret_cast<win::HDC>(wParam));
    case win::WM_SETCURSOR:
        // The frame's help bar names the part of the window's frame under the pointer.
        if (HelpBarOption()) ShowNonClientHelp(&FrameHelpBar(), static_cast<short>(win::LOWORD(lParam)));
        break;
    case win::WM_CLOSE: {
        RunControlState& rc = RunControl();
        if (rc.paused) {
            rc.closeRequest = 1;
            return 0;
        }
        if (rc.running) {
            WindowRecord* frame = FrameRecord();
            win::PostMessage(frame ? frame->window : nullptr, win::WM_KEYDOWN, kEscapeKey, 0);
            rc.closeAfterRun = 1;
            return 0;
        }
        break;
    }
    case win::WM_MOUSEMOVE:
    case win::WM_LBUTTONDOWN:
    case win::WM_LBUTTONUP: ForwardPlotMouseMessage(hwnd, message, wParam, lParam); return 0;
    case win::WM_RBUTTONDOWN:
        if (PlotMouseIgnored(record)) return 0;
        SaveCurveRanges(record);
        CallMouseHook(EditorHooks().rButtonDown, hwnd, static_cast<unsigned>(wParam), lParam);
        return 0;
    case win::WM_LBUTTONDBLCLK:
        if (PlotMouseIgnored(record)) return 0;
        OnPlotDoubleClick(record, static_cast<unsigned>(wParam), win::GET_X_LPARAM(lParam), win::GET_Y_LPARAM(lParam));
        return 0;
    case win::WM_RBUTTONUP:
        if (PlotMouseIgnored(record)) return 0;
        CallMouseHook(EditorHooks().rButtonUp, hwnd, static_cast<unsigned>(wParam), lParam);
        return 0;
    case win::WM_WINDOWPOSCHANGING:
        KeepRunWindowInFront(record, reinterpret_cast<win::WINDOWPOS*>(lParam));
        break;
    case win::WM_SYSCOMMAND:
        // In probe mode a maximised plot would hide the schematic that the clicks go to.
        if (CatchMaximizeDuringRun(record, wParam)) return 0;
        break;
    case win::WM_MDIACTIVATE:
        if (reinterpret_cast<win::HWND>(lParam) == hwnd) RefreshToolButtonStates();
        break;
    default: break;
    }
    return DefaultPlotWindowProc(hwnd, message, wParam, lParam);
}

void InstallAnalysisWindowServices()
{
    AnalysisWindowServicesState& services = AnalysisWindowServices();
    services.openAnalysisWindow = OpenAnalysisWindow;
    services.closeAnalysisWindow = CloseAnalysisWindow;
    services.openLimitsDialog = OpenAnalysisLimitsDialog;
    services.closeLimitsDialog = CloseAnalysisLimitsDialog;
    services.storeFocusedLimitsText = StoreFocusedLimitsText;
    services.focusLimitsControl = FocusLimitsControl;
    services.fillDefaultLimitsRows = [](WindowRecord* circuit) { FillDefaultLimitsRows(circuit, false, false, false); };
    services.drawCurveReadouts = [](WindowRecord* window) {
        const win::HDC dc = win::GetDC(window->window);
        DrawCurveReadouts(window, dc, -1);
        win::ReleaseDC(window->window, dc);
    };
    services.selectedRun = [] { return PlotCursors().selectedRun; };
    services.closeStateVariablesEditor = CloseStateVariablesEditor;
    services.startProbeRun = StartProbeRun;
    services.drawPlotObjects = [](WindowRecord* window) { DrawPlotObjects(window, nullptr, -1, nullptr); };
}

}  // namespace kq5
