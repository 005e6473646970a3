#include "app/frame_window.h"
#include "app/demo_player.h"
#include "schematic/find_replace.h"

#include <algorithm>
#include <string>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analog/analog_state.h"
#include "analyses/graph3d_window.h"
#include "analyses/performance_window.h"
#include "analyses/run_subset.h"
#include "results/run_state.h"
#include "app/command_routing.h"
#include "ui/color_table.h"
#include "ui/frame_state.h"
#include "ui/help_bar.h"
#include "document/component_library.h"
#include "schematic/attribute_dialog.h"
#include "app/info_dialogs.h"
#include "app/menus.h"
#include "ui/tool_buttons.h"
#include "app/tool_windows.h"
#include "app/message_loop.h"
#include "document/file_dialogs.h"
#include "ui/program_settings.h"
#include "app/startup.h"
#include "document/text_editor.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/connectivity.h"
#include "document/selection.h"
#include "document/document_services.h"
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/mdi.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/shell_drop.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/plot_cursors.h"
#include "schematic/circuit_window.h"

namespace kq5 {

namespace {

constexpr win::UINT kPopupOrBitmapItem = 0x14;
constexpr unsigned kCascadeCommand = 17301;

bool CreateMdiClient(win::HWND frame)
{
    win::CLIENTCREATESTRUCT create;
    // The children are listed at the end of the Windows menu.
    create.hWindowMenu = FindPopupWithCommand(Menus().main, kCascadeCommand);
    create.idFirstChild = kFirstMdiChildId;
    Frame().mdiClient = win::CreateWindowEx(
        0, "mdiclient", nullptr, win::WS_CHILD | win::WS_CLIPSIBLINGS | win::WS_CLIPCHILDREN | win::WS_BORDER, -1, -1,
        100, 100, frame, reinterpret_cast<win::HMENU>(static_cast<win::UINT_PTR>(kMdiClientId)), nullptr, &create);
    return Frame().mdiClient != nullptr;
}

void LayoutFrame(int width, int height)
{
    Frame().clientWidth = width;
    Frame().clientHeight = height;
    win::RECT work{-1, -1, width, height};
    HelpBar& helpBar = FrameHelpBar();
    int statusHeight = 0;
    if (helpBar.window && HelpBarOption()) {
        PositionStatusBar(helpBar, width, height);
        statusHeight = helpBar.lines * HelpBarLineHeight();
        work.bottom -= statusHeight - 1;
    }
    // The docked main bar takes its width or height from its edge; a side without one keeps the
    // client's border outside the frame.
    const win::RECT rest = PlaceDockedBars(Frame().frame, width, height, statusHeight);
    if (rest.left > 0) work.left = rest.left;
    if (rest.top > 0) work.top = rest.top;
    if (rest.right < width) work.right = rest.right;
    if (rest.bottom < height - statusHeight) work.bottom = rest.bottom;
    if (Frame().mdiClient) {
        win::MoveWindow(Frame().mdiClient, work.left, work.top, work.right - work.left + 1, work.bottom - work.top + 1, win::TRUE);
    }
}

// Sends WM_CLOSE to the record and tells whether the window refused.
bool CloseRefused(WindowRecord* record)
{
    Frame().closeRefused = false;
    CloseWindowRecord(record);
    return Frame().closeRefused;
}

void CloseFrame(win::HWND window)
{
    FrameState& frame = Frame();
    if (frame.busy) return;
    RunControlState& run = RunControl();
    if (Settings().demoRunning) {
        // The demo winds down through its own playback, which a close posted again and again
        // would starve; it closes the frame again once the user's documents are back.
        frame.quitPending = true;
        RequestDemoStop();
        return;
    }
    // A run in progress, not merely one that has happened: the flag of a first analysis stays
    // set, and a close that waited on it would be posted again for ever.
    if (run.running) {
        frame.quitPending = true;
        win::PostMessage(window, win::WM_KEYDOWN, win::VK_ESCAPE, 0);
        if (run.analysisWindow && run.analysisWindow->window) {
            win::PostMessage(run.analysisWindow->window, win::WM_CLOSE, 0, 0);
        }
        win::PostMessage(window, win::WM_CLOSE, 0, 0);
        return;
    }
    frame.quitPending = false;
    // A quit asked for by the session (a termination signal) is no user's Quit: no question.
    const bool bySession = frame.quitBySignal;
    frame.quitBySignal = false;
    if (!bySession && frame.batchMode == kBatchModeInteractive && !frame.fatalStartup && (OptionFlags() & kOptionQuitWarning)) {
        if (ReportMessage("SE", win::MB_YESNO | win::MB_ICONQUESTION, kMsgQuitQuestion) != win::IDYES) return;
    }
    // The analysis ends first, also when its window has already gone (closed with a run that
    // was stopped to quit): its circuit refuses to close while the analysis is current.
    if (Analysis().analysisKind != kAnalysisNone) {
        WindowRecord* analysed = run.circuitWindow;
        for (const auto& record : WindowRecords().records) {
            if (record->kind == kWindowTextCircuit && record.get() != analysed && CloseRefused(record.get())) return;
        }
        if (run.analysisWindow) CloseWindowRecord(run.analysisWindow);
        win::SendMessage(window, win::WM_COMMAND, kCmdEndAnalysis, 0);
    }
    auto& records = WindowRecords().records;
    for (auto it = records.begin(); it != records.end();) {
        WindowRecord* record = it->get();
        ++it;
        if (IsDocumentRecord(record) && CloseRefused(record)) return;
    }
    win::DestroyWindow(window);
}

void OpenDroppedFiles(win::HDROP drop)
{
    win::POINT point{};
    win::DragQueryPoint(drop, &point);
    const win::UINT count = win::DragQueryFile(drop, 0xFFFFFFFF, nullptr);
    for (win::UINT i = 0; i < count; ++i) {
        std::string name;
        win::DragQueryFile(drop, i, &name);
        const int kind = DetectFileKind(name, 1);
        if (kind == -1) continue;
        OpenFileOfKind(name, kind);
    }
    win::DragFinish(drop);
}

void ForwardToBars(win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    for (const DockedBar& bar : DockedBars()) {
        if (bar.window) win::SendMessage(bar.window, message, wParam, lParam);
    }
}

// Posted to the frame as it comes back in front: by then the dialog that closed is gone.
constexpr win::UINT kRefreshPointerHelp = win::WM_APP + 1;

// The help bar and the cursor answer for what is under the pointer now, as a move of the pointer
// would make them: a closed dialog leaves another window under a pointer that has not moved.
void RefreshPointerHelp()
{
    win::POINT at{};
    if (!win::GetCursorPos(&at)) return;
    const win::HWND under = win::WindowFromPoint(at);
    if (under == nullptr) return;
    const auto hit = static_cast<win::WORD>(
        win::SendMessage(under, win::WM_NCHITTEST, 0, win::MAKELPARAM(static_cast<win::WORD>(at.x), static_cast<win::WORD>(at.y))));
    win::SendMessage(under, win::WM_SETCURSOR, reinterpret_cast<win::WPARAM>(under), win::MAKELPARAM(hit, static_cast<win::WORD>(win::WM_MOUSEMOVE)));
}

void ShowMenuHelp(win::UINT flags, int id)
{
    HelpBar& bar = FrameHelpBar();
    if (!bar.window) return;
    if (flags & kPopupOrBitmapItem) ShowHelpBarText(&bar, "");
    else ShowHelpBarMessage(&bar, id);
}

}  // namespace

MenuSituation FrameMenuSituation()
{
    MenuSituation situation;
    const WindowRecord* performance = GetFrontPerformanceRecord();
    const WindowRecord* active = performance ? performance : GetActiveChildRecord();
    situation.kind = active ? active->kind : -1;
    situation.mode = GetRecordMode(active);
    situation.analysisOpen = Analysis().analysisKind != kAnalysisNone;
    situation.limitsDialogOpen = Frame().limitsDialog != nullptr;
    situation.cursorSearchMode = PlotCursors().searchMode;
    return situation;
}

namespace {

// The edit states: those of the focused text control (the text area of a schematic, or a text
// window's editor), else those of the schematic's items and the internal clipboard.
void FillEditSituation(WindowRecord* active, ToolButtonSituation& situation)
{
    if (!active || !active->document) return;
    situation.canUndo = active->undoKind != 0;
    situation.hasItems = active->document->itemList.head != nullptr || active->document->gridTextList.head != nullptr;
    win::HWND text = nullptr;
    const win::HWND focus = win::GetFocus();
    if (focus && focus == active->document->textAreaWindow) text = focus;
    else if (active->kind == kWindowTextCircuit) text = active->document->textAreaWindow;
    if (active->kind == kWindowTextCircuit && !text) {
        if (const TxtEditRecord* editor = OwnerTxtEditRecord(active)) text = editor->window;
    }
    if (text) {
        win::DWORD from = 0, to = 0;
        win::SendMessage(text, win::EM_GETSEL, reinterpret_cast<win::WPARAM>(&from), reinterpret_cast<win::LPARAM>(&to));
        situation.hasSelection = from != to;
        // Select All takes the text's characters, not the schematic's items.
        situation.hasItems = win::GetWindowTextLength(text) > 0;
        if (const TxtEditRecord* editor = GetTxtEditRecord(text)) situation.canUndo = situation.canUndo || !editor->undo.empty();
        situation.clipboardFull = win::IsClipboardFormatAvailable(win::CF_TEXT) != 0;
        return;
    }
    situation.hasSelection = CountSelectedItems(active, WindowSelectionMask(active)) > 0;
    const DocumentServicesState& services = DocumentServices();
    situation.clipboardFull = services.clipboardItems.count > 0 || services.clipboardGridTexts.count > 0;
}

// What the runs of the open analysis left: stored stepped or Monte Carlo runs, the windows made
// from them, and the circuit's solution.
void FillRunSituation(ToolButtonSituation& situation)
{
    const WindowRecord* analysis = RunControl().analysisWindow;
    const PlotRecord* plot = analysis && IsLiveWindowRecord(analysis) && analysis->plot ? analysis->plot.get() : nullptr;
    situation.plotHasCurves = plot && plot->curveCount > 0;
    if (plot && situation.analysisOpen) {
        const RunPlan plan = CurrentRunPlan(plot->store);
        situation.monteCarloData = plan.monteCarloActive && plan.storedRuns > 0;
        situation.steppedData = (plan.steppingActive || plan.temperatureCount > 1) && plan.storedRuns > 0;
    }
    // The 3-D commands need curves of an analysis that made several runs.
    situation.steppedCases = CountGraph3DCurves() > 0 ? std::max(RunState().runCount, 1) : 0;
    const LinkedList* plots = CurrentGraph3DList();
    situation.threeDWindows = plots ? plots->count : 0;
    const LinkedList* performance = PerformanceWindowList();
    situation.performanceWindows = performance ? performance->count : 0;
    // The histograms of the circuit being analysed; a window record of an ended session may
    // linger in the run's fields, so only a live one is read.
    const WindowRecord* circuit = RunControl().circuitWindow;
    const int kind = Analysis().analysisKind;
    if (circuit && IsLiveWindowRecord(circuit) && circuit->document && kind >= 0 && kind < kAnalysisKindCount)
        situation.histogramCount = circuit->document->monteCarloWindows[static_cast<std::size_t>(kind)].count;
    situation.nodeVoltagesAvailable = !SolutionVector().empty();
}

// A schematic with a digital pin has paths to show.
bool HasDigitalPins(const WindowRecord* record)
{
    if (!record || !record->document) return false;
    for (const SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (!item.IsComponent()) continue;
        for (int pin = 0; pin < ItemPinCount(&item); ++pin) {
            if (GetPinSignalKind(&item, pin) == kNodeDigital) return true;
        }
    }
    return false;
}

}  // namespace

ToolButtonSituation FrameToolButtonSituation()
{
    ToolButtonSituation situation;
    WindowRecord* active = GetActiveChildRecord();
    const RunControlState& run = RunControl();
    situation.childActive = active != nullptr;
    situation.kind = active ? active->kind : -1;
    // A performance window in front is the window the buttons and its commands are for.
    WindowRecord* performance = GetFrontPerformanceRecord();
    if (performance) situation.kind = kWindowPerformance;
    situation.analysisOpen = Analysis().analysisKind != kAnalysisNone;
    // Probe mode keeps its own analysis: its Limits and the multi-run windows are not for it.
    situation.analysisState = situation.analysisOpen && run.probeFlag ? 1 : 0;
    situation.busy = Frame().busy;
    // runStarted stays set after the first analysis; the run's own flag ends with the run.
    situation.running = run.running != 0;
    situation.paused = run.paused != 0 || run.pauseDisplay != 0;
    situation.demoActive = Settings().demoRunning;
    situation.untitled = active && active->untitled;
    situation.isCurrentDocument = active && active == run.circuitWindow;
    situation.currentDocumentIsText =
        run.circuitWindow && IsLiveWindowRecord(run.circuitWindow) && run.circuitWindow->kind == kWindowTextCircuit;
    situation.canPrint = situation.kind != kWindowModelLibrary;
    if (active && active->document) situation.pageCount = std::max<int>(1, static_cast<int>(active->document->pages.size()));
    FillEditSituation(active, situation);
    FillRunSituation(situation);
    situation.digitalPathData = HasDigitalPins(active);
    situation.mode = GetRecordMode(performance ? performance : active);
    if (situation.kind == kWindowAnalysis) situation.searchMode = PlotCursors().searchMode;
    situation.calculatorOpen = CalculatorWindow() != nullptr;
    return situation;
}


void ToggleToolWindow(int slot)
{
    if (Frame().frame == nullptr) return;
    ShowToolWindow(Frame().frame, slot);
    RelayoutFrame();
}

void CreateDockedBars()
{
    if (Frame().frame == nullptr) return;
    for (int slot = 0; slot < kToolSlotCount; ++slot) {
        DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
        if (bar.pos != 0 && bar.visible && bar.window == nullptr) ShowToolWindow(Frame().frame, slot);
    }
}

void ConnectMenuSources()
{
    MenuSources& sources = MenuTextSources();
    sources.recentFile = [](int index) {
        const auto& names = DocumentServices().recentFiles;
        return index >= 0 && static_cast<std::size_t>(index) < names.size() ? names[static_cast<std::size_t>(index)] : std::string();
    };
    sources.viewOption = [](int id) {
        const WindowRecord* active = GetActiveChildRecord();
        return active && active->document && (active->document->viewOptions & ViewOptionBit(id)) != 0;
    };
}

void RepaintMdiClient()
{
    if (Frame().mdiClient == nullptr) return;
    win::InvalidateRect(Frame().mdiClient, nullptr, win::TRUE);
    win::UpdateWindow(Frame().mdiClient);
    UpdateDocumentWindows(nullptr, kUpdateRedraw);
}

void RestoreRecordPlacement(WindowRecord* record, bool update)
{
    if (record == nullptr || record->window == nullptr) return;
    if (record->kind == kWindowSchematic && record->document && record->document->placements[0].length != 0) {
        const win::WINDOWPLACEMENT& placement = record->document->placements[0];
        SetRecordPlacement(record, placement);
        if (update && placement.showCmd != win::SW_SHOWMAXIMIZED) UpdateDocumentWindows(record->window, kUpdateRedraw);
        return;
    }
    ShowRecordMaximized(record);
    if (record->kind == kWindowTextCircuit) {
        win::RECT client{};
        win::GetClientRect(record->window, &client);
        win::SendMessage(record->window, win::WM_SIZE, win::SIZE_MAXIMIZED,
                         static_cast<win::LPARAM>((client.bottom << 16) | (client.right & 0xFFFF)));
    }
}

void RelayoutFrame()
{
    if (Frame().frame) {
        win::SendMessage(Frame().frame, win::WM_SIZE, 0,
                         win::MAKELPARAM(static_cast<win::WORD>(Frame().clientWidth), static_cast<win::WORD>(Frame().clientHeight)));
    }
}

namespace {

void RefreshFrameToolButtons()
{
    ToolSituation() = FrameToolButtonSituation();
    UpdateToolButtonStates();
}

// What the help bar tells of the component menu's items and of the recent components.
void InstallComponentHelpTexts()
{
    HelpBarTextSources& sources = HelpBarSources();
    sources.componentCount = ComponentDefinitionCount;
    sources.componentDescription = [](int index) { return FormatComponentDescription(ComponentDefinitionAt(index)); };
    sources.recentComponentText = [](int place) {
        const auto& recent = Settings().recentComponents;
        if (place < 0 || place >= static_cast<int>(recent.size()) || recent[static_cast<std::size_t>(place)].empty()) return std::string();
        return FormatComponentDescription(FindComponentDefinition(recent[static_cast<std::size_t>(place)]));
    };
}

}  // namespace

void InstallFrameServices()
{
    InstallComponentHelpTexts();
    FrameServices().refreshToolButtonStates = RefreshFrameToolButtons;
    FrameServices().processMessage = ProcessMessage;
    TextEditorHooks().contextHelp = ShowEditorContextHelp;
    TextEditorHooks().statementInfo = ShowEditorStatementInfo;
}

win::LRESULT FrameWndProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    switch (message) {
    case win::WM_CREATE:
        Frame().frame = window;
        InstallFrameServices();
        // The class gave the frame its menu bar; the menus keep it as the main menu.
        Menus().main = win::GetMenu(window);
        LoadMenus();
        ConnectMenuSources();
        if (!CreateMdiClient(window)) return -1;
        InstallKeyboardHook();
        return 0;
    case win::WM_DESTROY: return OnFrameDestroy();
    case win::WM_SIZE:
        if (!win::IsIconic(window)) LayoutFrame(static_cast<short>(lParam & 0xFFFF), static_cast<short>((lParam >> 16) & 0xFFFF));
        return 0;
    case win::WM_ACTIVATE: {
        ForwardToBars(message, wParam, lParam);
        // Back in front (a dialog closed, say), the keyboard goes to the window the user works in,
        // so that its keys (Ctrl+Z, Del and the rest) answer without a click first.
        const win::HWND focus = win::GetFocus();
        if ((wParam & 0xFFFF) != win::WA_INACTIVE && !((wParam >> 16) & 0xFFFF) && Frame().mdiClient &&
            (focus == nullptr || (focus != window && !win::IsChild(window, focus))))
            win::SetFocus(Frame().mdiClient);
        if ((wParam & 0xFFFF) != win::WA_INACTIVE) win::PostMessage(window, kRefreshPointerHelp, 0, 0);
        return 0;
    }
    case kRefreshPointerHelp: RefreshPointerHelp(); return 0;
    case win::WM_CLOSE:
    case win::WM_QUERYENDSESSION: CloseFrame(window); return 0;
    case win::WM_SYSCOLORCHANGE:
        LoadSystemColorRows();
        ForwardToBars(message, wParam, lParam);
        return 0;
    case win::WM_ACTIVATEAPP: RealizeAppPalette(nullptr); return 0;
    case win::WM_SETCURSOR:
        ShowPointerHelp(reinterpret_cast<win::HWND>(wParam), static_cast<short>(lParam & 0xFFFF));
        return win::DefFrameProc(window, Frame().mdiClient, message, wParam, lParam);
    case win::WM_COMMAND:
        if (RouteCommand(window, wParam, lParam) == 0) return 0;
        return win::DefFrameProc(window, Frame().mdiClient, message, wParam, lParam);
    case win::WM_TIMER: return 1;
    case win::WM_INITMENUPOPUP:
        RefreshToolButtonStates();
        InitMenuPopupItems(reinterpret_cast<win::HMENU>(wParam), FrameMenuSituation());
        DemoMenuPopupOpened(reinterpret_cast<win::HMENU>(wParam));
        return 0;
    case win::WM_MENUSELECT: {
        const win::UINT flags = static_cast<win::UINT>((wParam >> 16) & 0xFFFF);
        ShowMenuHelp(flags & kPopupOrBitmapItem, (flags & kPopupOrBitmapItem) ? 0 : static_cast<int>(wParam & 0xFFFF));
        DemoMenuSelected(reinterpret_cast<win::HMENU>(lParam), static_cast<unsigned>(wParam & 0xFFFF), flags);
        return 0;
    }
    case win::WM_EXITMENULOOP:
        // The menu's text goes; then the bar answers for what is under the pointer.
        ShowMenuHelp(kPopupOrBitmapItem, 0);
        win::PostMessage(window, kRefreshPointerHelp, 0, 0);
        return 0;
    case win::WM_DROPFILES: OpenDroppedFiles(reinterpret_cast<win::HDROP>(wParam)); return 0;
    default: return win::DefFrameProc(window, Frame().mdiClient, message, wParam, lParam);
    }
}

}  // namespace kq5
