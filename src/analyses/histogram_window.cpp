// The Monte Carlo window: class MonteCarlo (window kind 6), its children (the list of values,
// the statistics, the interval edits), the drawing of the histogram and the commands.
#include <algorithm>
#include <map>
#include <cmath>
#include <iterator>
#include <string>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analyses/histogram.h"
#include "analyses/monte_carlo.h"
#include "analyses/monte_carlo_models.h"
#include "results/run_state.h"
#include "ui/color_table.h"
#include "ui/font_select.h"
#include "ui/frame_state.h"
#include "ui/print_layout_services.h"
#include "analog/run_windows.h"
#include "ui/window_class.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "results/curve_record.h"
#include "plots/plot_layout.h"
#include "plots/plot_window_services.h"
#include "results/plot_view_settings.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/dialog.h"
#include "platform/font.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr const char* kMonteCarloClassName = "MonteCarlo";
constexpr int kListValues = 102;
constexpr int kFrameStatic = 109;
constexpr int kFirstLabel = 111;     // Low, Mean, High, Sigma
constexpr int kFirstValue = 115;
constexpr int kPercentStatic = 120;
constexpr int kFirstEditLabel = 121; // Intervals, Low, High
constexpr int kEditIntervals = 124;
constexpr int kEditLow = 125;
constexpr int kEditHigh = 126;
constexpr int kCommandChange = 17163;
constexpr int kCommandHide = 14585;
constexpr int kCommandStatistics = 17160;
constexpr int kMsgLabelLow = 17490;  // Low, Mean, High, Sigma, Intervals follow
constexpr int kMsgCaption = 17496;   // "Monte Carlo:%s"
constexpr int kMsgPercent = 17497;   // "Percent displayed %6.2f"
constexpr int kPanelWidth = 170;     // the column of the list and the statistics
constexpr int kRowHeight = 18;
constexpr int kMargin = 8;
// The look of a window whose plot never had its settings filled.
constexpr std::uint8_t kPlainText = 0;
constexpr std::uint8_t kPlainGrid = 8;
constexpr std::uint8_t kPlainBackground = 15;
constexpr std::uint8_t kPlainShadow = 8;

// Solid brushes by colour, made once: the colour messages hand them out to every control that
// paints, so none may go while a control still draws with it.
win::HBRUSH SolidBrushOf(win::COLORREF colour)
{
    static std::map<win::COLORREF, win::HBRUSH> brushes;
    win::HBRUSH& brush = brushes[colour];
    // The layer may have let go of its objects since (a reset between tests); a handle that no
    // longer names a solid brush of this colour is made again.
    win::LOGBRUSH log{};
    const bool same = brush && win::GetObjectType(brush) == win::OBJ_BRUSH &&
                      win::GetObject(brush, sizeof log, &log) == static_cast<int>(sizeof log) &&
                      log.lbStyle == win::BS_SOLID && log.lbColor == colour;
    if (!same) brush = win::CreateSolidBrush(colour);
    return brush;
}

win::COLORREF Colour(int index) { return PaletteColor(index, true); }

// A record made before windows took the plot's look, or read from such a file, has every
// colour 0: black text on black.
bool HasNoLook(const MonteCarloWindowRecord& record)
{
    return record.view.font.color == 0 && record.backgroundColor == 0 && record.view.winBackgroundColor == 0 &&
           record.gridColor == 0 && record.foreColor == 0;
}

MonteCarloWindowRecord*& PendingRecord()
{
    static MonteCarloWindowRecord* pending = nullptr;
    return pending;
}

win::HWND Child(win::HWND window, int id) { return win::GetDlgItem(window, id); }

bool IsLive(WindowRecord* window) { return window && IsLiveWindowRecord(window) && window->window; }

LinkedList* CurrentList()
{
    CircuitDocument* document = MonteCarloDocument();
    const int kind = Analysis().analysisKind;
    if (!document || kind < 0 || kind >= kAnalysisKindCount) return nullptr;
    return &document->monteCarloWindows[static_cast<std::size_t>(kind)];
}

// The fields Tab moves among, in order: the value list and the three edits.
constexpr int kTabOrder[] = {kListValues, kEditIntervals, kEditLow, kEditHigh};

win::WNDPROC& OriginalFieldProc(bool list)
{
    static win::WNDPROC listProc = nullptr, editProc = nullptr;
    return list ? listProc : editProc;
}

void MoveMonteCarloFocus(win::HWND field, bool backwards)
{
    const win::HWND window = win::GetParent(field);
    const int id = win::GetDlgCtrlID(field);
    constexpr int count = static_cast<int>(std::size(kTabOrder));
    int at = 0;
    while (at < count && kTabOrder[at] != id) ++at;
    const int next = ((at < count ? at : 0) + (backwards ? count - 1 : 1)) % count;
    const win::HWND target = Child(window, kTabOrder[next]);
    win::SetFocus(target);
    if (kTabOrder[next] != kListValues) win::SendMessage(target, win::EM_SETSEL, 0, -1);
}

// The list and the edits are children of a plain window, not of a dialog, so they pass Tab on
// themselves.
win::LRESULT FieldProc(win::HWND field, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    const bool list = win::GetDlgCtrlID(field) == kListValues;
    if (message == win::WM_KEYDOWN && wParam == win::VK_TAB) {
        MoveMonteCarloFocus(field, win::GetKeyState(win::VK_SHIFT) < 0);
        return 0;
    }
    if (message == win::WM_CHAR && wParam == '\t') return 0;
    if (list && message == win::WM_KEYDOWN && wParam == win::VK_RETURN) {
        StepListSelection(field);
        return 0;
    }
    return win::CallWindowProc(OriginalFieldProc(list), field, message, wParam, lParam);
}

void SubclassField(win::HWND field, bool list)
{
    const auto previous =
        reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtr(field, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&FieldProc)));
    if (!OriginalFieldProc(list)) OriginalFieldProc(list) = previous;
}

win::WNDPROC& OriginalFrameProc()
{
    static win::WNDPROC frameProc = nullptr;
    return frameProc;
}

// The framing static draws only its etched edge, and the window clips its children when it
// erases: without this, whatever the screen held before shows between the statistics rows.
// The frame fills its inside with the window's colour, around the controls that lie on it.
win::LRESULT FrameProc(win::HWND frame, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    if (message == win::WM_PAINT) {
        const win::HWND window = win::GetParent(frame);
        WindowRecord* owner = GetWindowRecord(window);
        const MonteCarloWindowRecord* record = owner ? MonteCarloRecordOf(owner) : nullptr;
        const win::COLORREF background = Colour(record ? record->view.winBackgroundColor : kPlainBackground);
        const win::HDC dc = win::GetDC(frame);
        win::RECT inside{};
        win::GetClientRect(frame, &inside);
        for (int id = kFirstLabel; id <= kEditHigh; ++id) {
            const win::HWND child = Child(window, id);
            if (!child || !win::IsWindowVisible(child)) continue;
            win::RECT r{};
            win::GetWindowRect(child, &r);
            win::MapWindowPoints(nullptr, frame, reinterpret_cast<win::POINT*>(&r), 2);
            win::ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
        }
        win::FillRect(dc, &inside, SolidBrushOf(background));
        win::ReleaseDC(frame, dc);
    }
    return win::CallWindowProc(OriginalFrameProc(), frame, message, wParam, lParam);
}

bool CreateChildren(win::HWND window)
{
    auto make = [&](const char* cls, const char* text, win::DWORD style, int id) {
        const win::HWND child = win::CreateWindowEx(0, cls, text, win::WS_CHILD | win::WS_VISIBLE | style, 0, 0, 10, 10,
                                                     window, reinterpret_cast<win::HMENU>(static_cast<win::INT_PTR>(id)),
                                                     nullptr, nullptr);
        if (child) win::SendMessage(child, win::WM_SETFONT, reinterpret_cast<win::WPARAM>(win::GetStockObject(win::DEFAULT_GUI_FONT)), 0);
        return child != nullptr;
    };
    bool ok = make("LISTBOX", "", win::WS_VSCROLL | win::WS_BORDER | win::LBS_NOTIFY | win::WS_TABSTOP, kListValues);
    ok = ok && make("STATIC", "", win::SS_ETCHEDFRAME, kFrameStatic);
    for (int i = 0; i < 4; ++i) {
        ok = ok && make("STATIC", LoadResString(kMsgLabelLow + i).c_str(), 0, kFirstLabel + i);
        ok = ok && make("STATIC", "", 0, kFirstValue + i);
    }
    ok = ok && make("STATIC", "", 0, kPercentStatic);
    const int editLabels[3] = {kMsgLabelLow + 4, kMsgLabelLow, kMsgLabelLow + 2};
    for (int i = 0; i < 3; ++i) {
        ok = ok && make("STATIC", LoadResString(editLabels[i]).c_str(), 0, kFirstEditLabel + i);
        ok = ok && make("EDIT", "", win::WS_BORDER | win::ES_AUTOHSCROLL | win::WS_TABSTOP, kEditIntervals + i);
    }
    if (ok) {
        for (int id : kTabOrder) SubclassField(Child(window, id), id == kListValues);
        const auto previous = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtr(
            Child(window, kFrameStatic), win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&FrameProc)));
        if (!OriginalFrameProc()) OriginalFrameProc() = previous;
    }
    return ok;
}

// The list and statistics on the left, the chart on the right.
void LayOut(win::HWND window)
{
    win::RECT client{};
    win::GetClientRect(window, &client);
    const int statsTop = std::max<int>(client.bottom - (8 * kRowHeight + kMargin), 60);
    const int width = kPanelWidth - 2 * kMargin;
    win::MoveWindow(Child(window, kListValues), kMargin, kMargin, width, statsTop - 2 * kMargin, 1);
    win::MoveWindow(Child(window, kFrameStatic), kMargin - 4, statsTop - 4, width + 8, 8 * kRowHeight + 4, 1);
    for (int i = 0; i < 4; ++i) {
        const int y = statsTop + i * kRowHeight;
        win::MoveWindow(Child(window, kFirstLabel + i), kMargin, y, 44, kRowHeight - 2, 1);
        win::MoveWindow(Child(window, kFirstValue + i), kMargin + 46, y, width - 46, kRowHeight - 2, 1);
    }
    win::MoveWindow(Child(window, kPercentStatic), kMargin, statsTop + 4 * kRowHeight, width, kRowHeight - 2, 1);
    for (int i = 0; i < 3; ++i) {
        const int y = statsTop + (5 + i) * kRowHeight;
        win::MoveWindow(Child(window, kFirstEditLabel + i), kMargin, y + 2, 50, kRowHeight - 2, 1);
        win::MoveWindow(Child(window, kEditIntervals + i), kMargin + 52, y, width - 52, kRowHeight - 2, 1);
    }
}

win::RECT ChartRect(win::HWND window)
{
    win::RECT client{};
    win::GetClientRect(window, &client);
    return win::RECT{kPanelWidth, 0, std::max<int>(client.right, kPanelWidth + 1), client.bottom};
}

void FillValueList(MonteCarloWindowRecord& record, win::HWND window)
{
    const win::HWND list = Child(window, kListValues);
    if (!list) return;
    win::SendMessage(list, win::WM_SETREDRAW, 0, 0);
    win::SendMessage(list, win::LB_RESETCONTENT, 0, 0);
    for (double value : record.values) {
        const std::string line = FormatMonteCarloValue(record, value);
        win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(line.c_str()));
    }
    win::SendMessage(list, win::WM_SETREDRAW, 1, 0);
    win::InvalidateRect(list, nullptr, 1);
}

void ShowStatistics(MonteCarloWindowRecord& record, win::HWND window)
{
    const RunStatistics s = ComputeRunStatistics(record.values);
    const double shown[4] = {s.low, s.mean, s.high, s.deviation};
    for (int i = 0; i < 4; ++i)
        win::SetWindowText(Child(window, kFirstValue + i),
                           record.values.empty() ? "" : FormatMonteCarloValue(record, shown[i]).c_str());
}

// After a computing: the caption, the list, the statistics and the interval edits.
void RefreshWindow(MonteCarloWindowRecord& record)
{
    WindowRecord* window = record.windowRecord;
    if (!IsLive(window)) return;
    const std::string caption = StrPrintf(LoadResString(kMsgCaption).c_str(), record.view.title.c_str());
    win::SetWindowText(window->window, caption.c_str());
    window->title = caption;
    win::SetWindowText(Child(window->window, kEditIntervals), std::to_string(HistogramIntervals(record)).c_str());
    win::SetWindowText(Child(window->window, kEditLow), record.lowText.c_str());
    win::SetWindowText(Child(window->window, kEditHigh), record.highText.c_str());
    ShowStatistics(record, window->window);
    FillValueList(record, window->window);
    win::InvalidateRect(window->window, nullptr, 1);
}

void Recompute(MonteCarloWindowRecord& record)
{
    ComputeMonteCarloValues(record, RunControl().analysisWindow);
    RefreshWindow(record);
}

// Whether the analysis window has curves for a histogram to measure.
bool AnalysisHasCurves()
{
    return RunControl().analysisWindow && RunControl().analysisWindow->plot &&
           RunControl().analysisWindow->plot->curveCount > 0;
}

void ShowPopup(WindowRecord* window, int x, int y)
{
    const bool curves = AnalysisHasCurves();
    const win::HMENU menu = win::CreatePopupMenu();
    win::AppendMenu(menu, win::MF_STRING | (curves ? 0 : win::MF_GRAYED), kCommandChange, "&Characteristics...");
    win::AppendMenu(menu, win::MF_STRING, kCommandHide, "&Hide Window");
    win::AppendMenu(menu, win::MF_STRING | (curves ? 0 : win::MF_GRAYED), kCommandStatistics, "&Statistics");
    win::POINT p{x, y};
    win::ClientToScreen(window->window, &p);
    const int chosen = static_cast<int>(win::TrackPopupMenu(menu, win::TPM_RETURNCMD, p.x, p.y, 0, window->window, nullptr));
    win::DestroyMenu(menu);
    if (chosen) win::SendMessage(window->window, win::WM_COMMAND, static_cast<win::WPARAM>(chosen), 0);
}

void OnEditKillFocus(MonteCarloWindowRecord& record, win::HWND window, int id)
{
    const std::string text = win::GetDlgItemText(window, id);
    if (id == kEditIntervals) {
        if (SetHistogramIntervalsText(record, text)) win::InvalidateRect(window, nullptr, 1);
        win::SetWindowText(Child(window, kEditIntervals), std::to_string(HistogramIntervals(record)).c_str());
        return;
    }
    const bool curves = RunControl().analysisWindow && RunControl().analysisWindow->plot &&
                        RunControl().analysisWindow->plot->curveCount > 0;
    if (curves && SetHistogramRangeText(record, id == kEditHigh, text)) win::InvalidateRect(window, nullptr, 1);
}

win::LRESULT MonteCarloWndProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    WindowRecord* window = GetWindowRecord(hwnd);
    MonteCarloWindowRecord* record = window ? MonteCarloRecordOf(window) : nullptr;
    switch (message) {
    case win::WM_CREATE: {
        WindowRecord* made = NewWindowRecord(hwnd, kWindowMonteCarlo);
        if (!made) return -1;
        if (MonteCarloWindowRecord* pending = PendingRecord()) pending->windowRecord = made;
        if (!CreateChildren(hwnd)) return -1;
        LayOut(hwnd);
        return 0;
    }
    case win::WM_SIZE:
        LayOut(hwnd);
        win::InvalidateRect(hwnd, nullptr, 1);
        break;
    case win::WM_ERASEBKGND:
        if (!record) break;
        PaintWindowBackground(reinterpret_cast<win::HDC>(wParam), hwnd, SolidBrushOf(Colour(record->view.winBackgroundColor)));
        return 1;
    case win::WM_CTLCOLORSTATIC:
    case win::WM_CTLCOLORLISTBOX: {
        if (!record) break;
        const auto dc = reinterpret_cast<win::HDC>(wParam);
        const win::COLORREF background = Colour(record->view.winBackgroundColor);
        win::SetTextColor(dc, Colour(record->view.font.color));
        win::SetBkColor(dc, background);
        return reinterpret_cast<win::LRESULT>(SolidBrushOf(background));
    }
    case win::WM_PAINT: {
        win::PAINTSTRUCT ps;
        const win::HDC dc = win::BeginPaint(hwnd, &ps);
        DrawMonteCarloWindow(window, dc, ChartRect(hwnd));
        win::EndPaint(hwnd, &ps);
        return 0;
    }
    case win::WM_RBUTTONDOWN:
        if (window) ShowPopup(window, win::GET_X_LPARAM(lParam), win::GET_Y_LPARAM(lParam));
        return 0;
    case win::WM_MDIACTIVATE:
        if (reinterpret_cast<win::HWND>(lParam) == hwnd) RefreshToolButtonStates();
        break;
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        if (record && win::HIWORD(wParam) == win::EN_KILLFOCUS && id >= kEditIntervals && id <= kEditHigh) {
            OnEditKillFocus(*record, hwnd, id);
            return 0;
        }
        if (id == kCommandHide) {
            if (record) record->closing = true;
            win::SendMessage(hwnd, win::WM_CLOSE, 0, 0);
            return 0;
        }
        if (id == kCommandChange) {
            ChangeMonteCarloFunction(window);
            return 0;
        }
        if (id == kCommandStatistics) {
            WriteMonteCarloStatistics(record);
            return 0;
        }
        break;
    }
    case win::WM_CLOSE:
        if (record) win::GetWindowPlacement(hwnd, &record->view.placement);
        break;
    case win::WM_DESTROY:
        if (record) record->windowRecord = nullptr;
        if (window) FreeWindowRecord(window);
        return 0;
    default: break;
    }
    return DefaultPlotWindowProc(hwnd, message, wParam, lParam);
}

void CloseWindowOf(MonteCarloWindowRecord& record)
{
    WindowRecord* window = record.windowRecord;
    if (!IsLive(window)) return;
    DestroyPlotChildWindow(window->window);
    record.windowRecord = nullptr;
}

}  // namespace

MonteCarloWindowRecord* MonteCarloRecordOf(WindowRecord* window)
{
    if (!window || window->kind != kWindowMonteCarlo) return nullptr;
    if (MonteCarloWindowRecord* pending = PendingRecord(); pending && pending->windowRecord == window) return pending;
    CircuitDocument* document = MonteCarloDocument();
    if (!document) return nullptr;
    for (LinkedList& list : document->monteCarloWindows)
        for (MonteCarloWindowRecord& record : ListRecords<MonteCarloWindowRecord>(list))
            if (record.windowRecord == window) return &record;
    return nullptr;
}

int RegisterMonteCarloClass()
{
    // The analysis window closes the Monte Carlo windows with it.
    PlotWindowServices().closeMonteCarloWindows = CloseMonteCarloWindows;
    // Printed layouts and pictures place the histogram by its record and draw it as on screen.
    SetLayoutWindowServices(kWindowMonteCarlo,
                            {[](WindowRecord* window) -> PrintPreview* {
                                 MonteCarloWindowRecord* record = MonteCarloRecordOf(window);
                                 return record ? &record->view.printPreview : nullptr;
                             },
                             [](WindowRecord* window, win::HDC dc, const win::RECT& rect) {
                                 DrawMonteCarloWindow(window, dc, rect);
                             }});
    const auto white = static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH));
    return RegisterPlotWindowClass(kMonteCarloClassName, MonteCarloWndProc, white) ? 1 : 0;
}

void UnregisterMonteCarloClass() { win::UnregisterClass(kMonteCarloClassName, nullptr); }

WindowRecord* NewMonteCarloWindow(MonteCarloWindowRecord& record)
{
    if (!RegisterMonteCarloClass()) return nullptr;
    if (HasNoLook(record)) TakePlotLook(record, RunControl().analysisWindow);
    PendingRecord() = &record;
    const std::string caption = StrPrintf(LoadResString(kMsgCaption).c_str(), record.view.title.c_str());
    const win::HWND hwnd = CreatePlotChildWindow(kMonteCarloClassName, caption);
    PendingRecord() = nullptr;
    if (!hwnd) {
        record.windowRecord = nullptr;
        return nullptr;
    }
    record.closing = false;
    return record.windowRecord;
}

void ShowMonteCarloWindow(int index)
{
    LinkedList* list = CurrentList();
    if (!list) return;
    int i = 0;
    for (MonteCarloWindowRecord& record : ListRecords<MonteCarloWindowRecord>(*list)) {
        if (i++ != index) continue;
        if (!IsLive(record.windowRecord)) {
            if (!NewMonteCarloWindow(record)) return;
            Recompute(record);
        }
        ActivateWindowRecord(record.windowRecord, true);
        return;
    }
}

void RebuildMonteCarloMenu(win::HMENU popup)
{
    std::vector<WindowMenuEntry> entries;
    if (LinkedList* list = CurrentList()) {
        for (MonteCarloWindowRecord& record : ListRecords<MonteCarloWindowRecord>(*list))
            entries.push_back({record.view.title, IsLive(record.windowRecord)});
    }
    RebuildWindowMenuEntries(popup, kFirstMonteCarloFunctionCommand, kLastMonteCarloFunctionCommand, entries);
    // Statistics are those of the active histogram: without one in front there are none to write.
    const bool histogram = MonteCarloRecordOf(GetActiveChildRecord()) != nullptr;
    win::EnableMenuItem(popup, kCommandStatistics,
                        win::MF_BYCOMMAND | (histogram && AnalysisHasCurves() ? win::MF_ENABLED : win::MF_GRAYED));
}

void RecomputeMonteCarloWindows(bool onlyVisible)
{
    LinkedList* list = CurrentList();
    if (!list) return;
    for (MonteCarloWindowRecord& record : ListRecords<MonteCarloWindowRecord>(*list)) {
        if (!IsLive(record.windowRecord)) continue;
        if (onlyVisible && !win::IsWindowVisible(record.windowRecord->window)) continue;
        Recompute(record);
    }
}

void CloseMonteCarloWindows()
{
    LinkedList* list = CurrentList();
    if (!list) return;
    for (MonteCarloWindowRecord& record : ListRecords<MonteCarloWindowRecord>(*list)) {
        if (!IsLive(record.windowRecord)) continue;
        win::ShowWindow(record.windowRecord->window, win::SW_HIDE);
        record.closing = true;
        CloseWindowOf(record);
    }
}

void FreeMonteCarloFunction(MonteCarloWindowRecord& record)
{
    CloseWindowOf(record);
    record.FreeOwnedData();
    record.values.clear();
    record.valueRuns.clear();
}

void DrawMonteCarloWindow(WindowRecord* window, win::HDC dc, const win::RECT& rect)
{
    MonteCarloWindowRecord* record = MonteCarloRecordOf(window);
    if (!record || record->values.empty() || !RunState().monteCarloActive) return;
    const bool screen = window && window->window && IsDisplayDC(dc);
    // Margins, gaps and lettering are made for the screen; a printer page, and the preview of one,
    // gets them at the printer's resolution.
    const double scale = PaperScaleOf(dc);
    const auto px = [scale](int pixels) { return static_cast<int>(std::lround(pixels * scale)); };
    const int left = rect.left + px(50), right = rect.right - px(20), top = rect.top + px(30),
              bottom = rect.bottom - px(40);
    const HistogramBars bars = SettleHistogram(*record, bottom - top);

    // Nothing of the chart reaches the list and the statistics beside it, however narrow the
    // window is.
    const int saved = win::SaveDC(dc);
    win::IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    win::SetBkMode(dc, win::TRANSPARENT);
    const win::HPEN framePen = win::CreatePen(win::PS_SOLID, 1, PaletteColor(record->gridColor, true));
    const win::HGDIOBJ oldPen = win::SelectObject(dc, framePen);
    // The window's font; without one, the dialog face at the size of the page.
    FontSpec font = record->view.font;
    font.height = static_cast<std::int16_t>(std::lround(font.height * scale));
    const win::HFONT printFont =
        font.height != 0 ? CreateFontFromSpec(font)
        : scale > 1.0    ? win::CreateFont(-px(11), 0, 0, 0, win::FW_NORMAL, 0, 0, 0, win::ANSI_CHARSET, 0, 0, 0,
                                           win::VARIABLE_PITCH | win::FF_SWISS, "MS Sans Serif")
                         : nullptr;
    win::SetTextColor(dc, Colour(record->view.font.color));
    const win::HGDIOBJ oldFont =
        win::SelectObject(dc, printFont ? static_cast<win::HGDIOBJ>(printFont) : win::GetStockObject(win::DEFAULT_GUI_FONT));
    const int lineHeight = std::max(TextLineSpacing(dc), 1);
    win::SelectObject(dc, SolidBrushOf(Colour(record->backgroundColor)));
    win::Rectangle(dc, left, top, right, bottom + 1);
    win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    const double n = static_cast<double>(record->values.size());
    if (bars.drawBars && bars.top * n > 0.0) {
        // Five divisions of the vertical scale, labelled in percent.
        const double step = bars.top * 100.0 / 5.0 + 0.0001;
        for (int d = 0; d <= 5; ++d) {
            const int y = bottom - static_cast<int>(std::lround((bottom - top) * d / 5.0));
            win::MoveToEx(dc, left - px(4), y, nullptr);
            win::LineTo(dc, left, y);
            const std::string label = StrPrintf("%.0f%%", step * d);
            win::RECT r{rect.left, y - lineHeight, left - px(6), y + lineHeight};
            win::DrawText(dc, label, &r, win::DT_RIGHT | win::DT_SINGLELINE | win::DT_VCENTER);
        }
        const win::HBRUSH barBrush = SolidBrushOf(Colour(record->foreColor));
        const win::HBRUSH shadowBrush = SolidBrushOf(Colour(record->shadowColor));
        const int shadow = px(3);
        const double barWidth = static_cast<double>(right - left) / bars.intervals;
        for (int i = 0; i < bars.intervals; ++i) {
            const int count = bars.counts[static_cast<std::size_t>(i)];
            const int x0 = left + static_cast<int>(std::lround(barWidth * i)) + 1;
            const int x1 = left + static_cast<int>(std::lround(barWidth * (i + 1))) - 1;
            const int h = static_cast<int>(std::lround((bottom - top) * (count / (bars.top * n))));
            if (x0 >= rect.right) break;
            if (count > 0) {
                // The shadow falls to the right and down, inside the frame; the bar covers most of it.
                if (h > shadow) {
                    const int castRight = std::min(x1 + shadow, right - 1);
                    const win::POINT cast[5] = {{x0 + shadow, bottom}, {x0 + shadow, bottom - h + shadow},
                                                {castRight, bottom - h + shadow}, {castRight, bottom},
                                                {x0 + shadow, bottom}};
                    win::SelectObject(dc, shadowBrush);
                    win::Polygon(dc, cast, 5);
                }
                win::SelectObject(dc, barBrush);
                const win::POINT shape[5] = {{x0, bottom}, {x0, bottom - h}, {x1, bottom - h}, {x1, bottom}, {x0, bottom}};
                win::Polygon(dc, shape, 5);
            }
            const std::string share = StrPrintf("%.1f", count / n * 100.0);
            win::RECT r{x0 - px(10), bottom - h - lineHeight - px(2), x1 + px(10), bottom - h - px(2)};
            win::DrawText(dc, share, &r, win::DT_CENTER | win::DT_SINGLELINE);
        }
        win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    }
    // The range under the chart. High stands where it lies: at the end of the last interval
    // below it; the bar after that holds the values at High.
    win::RECT lowText{left - px(40), bottom + px(4), left + px(80), bottom + px(4) + lineHeight};
    win::DrawText(dc, record->lowText, &lowText, win::DT_LEFT | win::DT_SINGLELINE);
    if (bars.drawBars && bars.intervals > 1) {
        const int highX = left + static_cast<int>(std::lround(static_cast<double>(right - left) *
                                                              (bars.intervals - 1) / bars.intervals));
        win::MoveToEx(dc, highX, bottom, nullptr);
        win::LineTo(dc, highX, bottom + px(4));
        win::RECT highText{highX - px(60), bottom + px(4), highX + px(60), bottom + px(4) + lineHeight};
        win::DrawText(dc, record->highText, &highText, win::DT_CENTER | win::DT_SINGLELINE);
    } else {
        win::RECT highText{right - px(80), bottom + px(4), right + px(20), bottom + px(4) + lineHeight};
        win::DrawText(dc, record->highText, &highText, win::DT_RIGHT | win::DT_SINGLELINE);
    }
    win::RECT title{left, rect.top + px(6), right, top - px(4)};
    win::DrawText(dc, record->view.title, &title, win::DT_CENTER | win::DT_SINGLELINE);
    win::SelectObject(dc, oldFont);
    if (printFont) win::DeleteObject(printFont);
    win::SelectObject(dc, oldPen);
    win::DeleteObject(framePen);
    win::RestoreDC(dc, saved);

    if (screen) {
        ShowStatistics(*record, window->window);
        const std::string percent = StrPrintf(LoadResString(kMsgPercent).c_str(), bars.percentDisplayed);
        win::SetWindowText(Child(window->window, kPercentStatic), percent.c_str());
        win::SetWindowText(Child(window->window, kEditLow), record->lowText.c_str());
        win::SetWindowText(Child(window->window, kEditHigh), record->highText.c_str());
    }
}

}  // namespace kq5

namespace kq5 {

void TakePlotLook(MonteCarloWindowRecord& record, WindowRecord* analysisWindow)
{
    PlotViewSettings view;
    if (analysisWindow && analysisWindow->plot) view = PlotViewOf(analysisWindow->plot);
    const bool filled = view.graphBackground != 0 || view.windowBackground != 0 || view.textFont.color != 0;
    record.view.font = view.textFont;
    record.view.objectFont = view.objectFont;
    record.view.font.color = filled ? view.textFont.color : kPlainText;
    record.gridColor = filled ? view.gridColor : kPlainGrid;
    record.backgroundColor = filled ? view.graphBackground : kPlainBackground;
    record.view.winBackgroundColor = filled ? static_cast<std::uint8_t>(view.windowBackground) : kPlainBackground;
    record.shadowColor = kPlainShadow;
    record.foreColor = kFirstCurveColorIndex;
    if (analysisWindow && analysisWindow->plot && analysisWindow->plot->curveCount > 0) {
        const PlotRecord& plot = *analysisWindow->plot;
        const int current = std::clamp(plot.currentCurve, 0, plot.curveCount - 1);
        const int colour = plot.curves[static_cast<std::size_t>(current)]->color;
        if (colour > 0 && colour < kPaletteColors) record.foreColor = static_cast<std::uint8_t>(colour);
    }
}

}  // namespace kq5
