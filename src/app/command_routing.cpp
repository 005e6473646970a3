#include "app/command_routing.h"

#include "analyses/dsp_dialog.h"
#include "analog/analysis_start.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analyses/graph3d_window.h"
#include "analyses/monte_carlo.h"
#include "analyses/performance_window.h"
#include "analyses/stepping.h"
#include "ui/edit_mode.h"
#include "schematic/find_replace.h"
#include "ui/frame_state.h"
#include "ui/color_dialog.h"
#include "app/font_command.h"
#include "app/frame_window.h"
#include "app/global_settings.h"
#include "app/info_dialogs.h"
#include "document/preferences.h"
#include "app/print_preview.h"
#include "app/printing.h"
#include "document/title_block.h"
#include "ui/help_bar.h"
#include "app/tool_bar_dialog.h"
#include "ui/tool_buttons.h"
#include "app/message_loop.h"
#include "document/file_dialogs.h"
#include "ui/help_topics.h"
#include "ui/usage_file.h"
#include "document/document_services.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/document_windows.h"
#include "netlist/circuit_build.h"
#include "netlist/library_translate.h"
#include "netlist/model_statements.h"
#include "netlist/spice_dot_commands.h"
#include "netlist/spice_export.h"
#include "document/component_library.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"
#include "platform/mdi.h"
#include "platform/message.h"
#include "app/demo_player.h"
#include "platform/window.h"
#include "plots/curve_ranges.h"
#include "plots/limits_dialog.h"
#include "plots/numeric_output_window.h"
#include "plots/plot_characteristics.h"
#include "plots/plot_click_services.h"
#include "plots/plot_object_geometry.h"
#include "plots/plot_view_commands.h"
#include "plots/probe_mode.h"
#include "plots/state_variables_editor.h"
#include "netlist/model_library_window.h"
#include "schematic/circuit_window.h"
#include "digital/digital_path_window.h"
#include "schematic/component_editor.h"
#include "schematic/component_library_use.h"
#include "document/page_array.h"
#include "schematic/page_keys.h"
#include "document/pane_seams.h"
#include "schematic/shape_editor.h"
#include "schematic/zoom.h"

namespace kq5 {

namespace {

constexpr int kCrossCursorCommand = 17408;

// Ctrl+Home; Ctrl+End, the Ctrl+arrows, Ctrl+PgUp and Ctrl+PgDn follow.
constexpr int kCommandRestoreRunScales = 17632;
constexpr int kLastPageKeyCommand = 17639;

bool InRange(int id, int first, int last) { return id >= first && id <= last; }

bool AnalysisOpen() { return Analysis().analysisKind != kAnalysisNone; }

// Context of one command.
struct CommandContext {
    WindowRecord* active = nullptr;
    int kind = -1;
    WindowRecord* topCircuit = nullptr;
};

void OpenByKind(const std::string& name, int kind)
{
    if (name.empty() || kind < 0) return;
    OpenFileOfKind(name, kind);
}

void OpenRecentFile(int index)
{
    const std::string name = DocumentServices().recentFiles[static_cast<std::size_t>(index)];
    if (name.empty()) return;
    OpenByKind(name, DetectFileKind(name, 1));
}

void OpenFileCommand(const CommandContext& context)
{
    // Every kind the program opens, then all files; the chosen file opens by its own kind.
    std::string path;
    const std::string filter = LoadResString(kMainFilesFilter) + LoadResString(10125);
    const int kind = FileDialogByKind(context.active, path, 1, filter, 0);
    OpenByKind(path, kind);
}

void SaveCommand(const CommandContext& context, bool askName)
{
    WindowRecord* record = context.active;
    // A model library window has no circuit document but is saved all the same.
    if (record == nullptr || (!record->document && record->kind != kWindowModelLibrary)) return;
    if (askName || record->untitled) SaveWindowAs(record, 0);
    else WriteCircuitFile(record, {}, 0);
    RefreshToolButtonStates();
}

void ToggleViewOption(const CommandContext& context, int id)
{
    if (context.kind != kWindowSchematic || !context.active->document) return;
    context.active->document->viewOptions ^= ViewOptionBit(id);
    // The cross-hair is drawn over the panes as the pointer moves; the drawing itself is unchanged.
    if (id != kCrossCursorCommand)
        RedrawWindowParts(context.active, kRedrawFull | kRedrawErase | kRedrawSchematic | kRedrawResetRange);
    // The option's tool button shows it on or off.
    InvalidateDlgItem(DockedBars()[0].window, id);
}

void SendToTextControl(const CommandContext& context, int id)
{
    if (context.kind != kWindowSchematic && context.kind != kWindowTextCircuit) return;
    win::HWND text = context.active->document ? context.active->document->textAreaWindow : nullptr;
    if (text != nullptr && win::GetFocus() == text) win::SendMessage(text, win::WM_COMMAND, static_cast<win::WPARAM>(id), 0);
}

void FindCommands(const CommandContext& context, int id)
{
    if ((id == kFindAgainCommand || id == kRepeatFindCommand) && AnalysisOpen()) {
        // F3 also leaves the analysis.
        if (WindowRecord* plot = RunControl().analysisWindow; plot && plot->window)
            win::PostMessage(plot->window, win::WM_CLOSE, 0, 0);
        return;
    }
    if (id == kReplaceCommand) {
        if (context.kind == kWindowTextCircuit || context.kind == kWindowSchematic) ReplaceInTextWindow(context.active);
        return;
    }
    // The library window finds model names.
    if (context.kind == kWindowModelLibrary) FindModelNameCommand(context.active);
    else FindCommand(context.active, id != kFindCommand);
}

// The plot window the keys are for: a performance window in front, else the analysis window.
WindowRecord* KeyedPlotWindow(const CommandContext& context)
{
    if (WindowRecord* front = GetFrontPerformanceRecord()) return front;
    return context.kind == kWindowAnalysis ? context.active : nullptr;
}

void EditModeCommand(const CommandContext& context, int id)
{
    if (id == 17563 && AnalysisOpen()) return;
    if (id == 17571 && context.kind == kWindow3D) id = 17561;
    // A performance window in front takes the mode itself (its cursors, its zoom), not the
    // analysis window behind it.
    WindowRecord* front = GetFrontPerformanceRecord();
    SetEditMode(front ? front : context.active, id);
}

// The Component menu and the palettes: the part becomes the current component and the active
// schematic goes into Component mode to place it.
void ChooseComponentDefinition(const CommandContext& context, int index)
{
    ComponentDefinition* definition = ComponentDefinitionAt(index);
    if (definition == nullptr) return;
    SetChosenComponentDefinition(definition);
    if (context.kind == kWindowSchematic) SetEditMode(context.active, kCommandComponentMode);
}

void OpenUserDefinitions()
{
    WindowRecord* opened = nullptr;
    LoadCircuitFile(nullptr, Frame().programDirectory + "/" + kDefaultDefinitionsFile, kFileKindTextCircuit,
                    kLoadDefaults, opened);
}

// The model-fitting program gets the active window's file.
void ModelProgramCommand(const CommandContext& context)
{
    OpenFileOfKind(context.active ? GetRecordTitle(context.active) : std::string(), kFileKindModelFile);
}

// Ctrl+G: the text area goes into the pane last clicked, or leaves it when it is there already.
void ToggleDrawingText(const CommandContext& context)
{
    if (context.kind != kWindowSchematic || !context.active->document) return;
    SetTextAreaPane(context.active, context.active->document->currentPane, true);
}

// The flags popup of the pane last clicked, opened at that pane's button.
void FlagsPopupAtPane(const CommandContext& context)
{
    if (context.kind != kWindowSchematic || !context.active->document) return;
    const int pane = FindVisiblePane(context.active);
    if (pane < 0) return;
    const win::RECT button = PaneButtonRect(context.active, pane);
    win::POINT point{button.left, button.top};
    win::ClientToScreen(context.active->window, &point);
    ShowFlagsPopupMenu(context.active, pane, point);
}

// F4 brings the open analysis's window to the front; Exit Probe closes it, which ends the analysis.
void AnalysisWindowCommand(int id)
{
    WindowRecord* plot = RunControl().analysisWindow;
    if (!AnalysisOpen() || plot == nullptr || plot->window == nullptr) return;
    if (id == 17152) ActivateWindowRecord(plot, false);
    else CloseWindowRecord(plot);
}

void MdiCommand(int id)
{
    win::HWND client = Frame().mdiClient;
    if (client == nullptr) return;
    switch (id) {
    case 17301: win::SendMessage(client, win::WM_MDICASCADE, 0, 0); break;
    case 17302: win::SendMessage(client, win::WM_MDITILE, win::MDITILE_VERTICAL, 0); break;
    case 17303: win::SendMessage(client, win::WM_MDITILE, win::MDITILE_HORIZONTAL, 0); break;
    case 17304: win::SendMessage(client, win::WM_MDIICONARRANGE, 0, 0); break;
    default: break;
    }
}

// Ctrl+Home puts back the scales the run started with and Ctrl+arrows pan the current curve's
// group; the family's other keys have nothing to do in a plot. Only analysis and performance
// windows take them.
int PlotKeyCommand(const CommandContext& context, int id)
{
    WindowRecord* window = KeyedPlotWindow(context);
    if (!window) return 1;
    if (id == kCommandRestoreRunScales) RestoreRunStartRanges(window);
    else if (InRange(id, kCommandPanLeft, kCommandPanUp)) PanPlotCommand(window, id);
    return 0;
}

// The router's own table: 0 taken, 1 not known here.
int RouteKnownCommand(int id, const CommandContext& context)
{
    switch (id) {
    case kCmdEndAnalysis:
        // Posted when an analysis window goes; a new analysis opened since keeps its window.
        if (AnalysisOpen() && !RunControl().analysisWindow) {
            ExitAnalysis();
            // The keyboard went with the analysis window: the circuit window takes it back, so
            // that keys and accelerators reach the editor again.
            WindowRecord* active = GetActiveChildRecord();
            if (active && active->window && !win::GetFocus()) win::SetFocus(active->window);
        }
        return 0;
    case kCmdStatistics: ShowStatisticsDialog(); return 0;
    case kDspParametersTemplate: DspParameters(Frame().frame); return 0;
    case 3801: case 3802: case 3803: case 3804: SendToTextControl(context, id); return 0;
    case kFindCommand: case kFindAgainCommand: case kRepeatFindCommand: case kReplaceCommand: FindCommands(context, id); return 0;
    case 12913: ModelProgramCommand(context); return 0;
    case 16058: PauseAnalysisRun(); return 0;
    case 18613: StopAnalysisRun(); return 0;
    case 17152: case 17156: AnalysisWindowCommand(id); return 0;
    case 17669: ToggleDrawingText(context); return 0;
    case 17671: FlagsPopupAtPane(context); return 0;
    case 17805:
        if (context.kind == kWindowSchematic || context.kind == kWindowTextCircuit) ShowTextWindowContextHelp(context.active);
        return 0;
    case 10185: ToolBarDialog(Frame().frame); return 0;
    case 12506:
        if (context.active && context.active->document) RevertToSaved(context.active);
        return 0;
    case 12507:
    case 12512: CloseWindowRecord(context.active); return 0;
    case 12508: DeleteFileCommand(); return 0;
    case 15678:
        // F10: the characteristics of the window in front, which for a plot window are its
        // plot's (the key shown beside their menu items).
        if (WindowRecord* front = GetFrontPerformanceRecord()) {
            ChangePerformanceWindow(front);
            return 0;
        }
        if (context.kind == kWindowAnalysis) {
            OpenPlotCharacteristics(context.active);
            return 0;
        }
        if (context.kind == kWindow3D) {
            OpenAdd3DPlotDialog(context.active);
            return 0;
        }
        [[fallthrough]];
    case 17220: RunCharacteristicsDialog(context.active, Frame().frame); return 0;
    case 17102: OpenFileCommand(context); return 0;
    case 17103: SaveCommand(context, false); return 0;
    case 17104: SaveCommand(context, true); return 0;
    case 17105:
        if (context.active && context.active->document) ExportSpiceNetlistCommand(context.active);
        return 0;
    case kCommandLibraryToText: TranslateLibraryToText(context.active); return 0;
    case kCommandTextToLibrary: TranslateTextToLibrary(context.active); return 0;
    case 17137:
        if (context.active && context.active->document) SaveWindowAs(context.active, kWriteBanner);
        return 0;
    case 17301: case 17302: case 17303: case 17304: MdiCommand(id); return 0;
    case 17305: FillMdiClient(context.active); return 0;
    case 17306: ComponentEditorCommand(Frame().frame); return 0;
    case 17308: FindComponentCommand(Frame().frame); return 0;
    case 17309: OpenShapeEditor(Frame().frame); return 0;
    case 17312: ShowCalculator(Frame().frame); return 0;
    case 17100: FileNew(); return 0;
    case kCommandAddPage: AddPage(context.active, PageCount(context.active)); return 0;
    case kCommandDeletePage: DeletePageCommand(context.active); return 0;
    case 17501: ShowFullWindow(context.active); return 0;
    case 17502:
        if (context.kind == kWindowSchematic || context.kind == kWindowTextCircuit) AddModelStatements(context.active);
        return 0;
    case 17503: SplitVertical(context.active, 0.5); return 0;
    case 17507: SplitHorizontal(context.active, 0.5); return 0;
    case kCommandZoomIn: case kCommandZoomOut: ZoomWindow(context.active, id); return 0;
    case 17450: OnColorCommand(context.active); return 0;
    case 17453: {
        WindowRecord* circuit = context.active && IsSchematicKind(context.active->kind) && context.active->document
                                    ? context.active
                                    : context.topCircuit;
        if (circuit && IsSchematicKind(circuit->kind)) ShowPathWindow(circuit, circuit->mode, nullptr, nullptr);
        return 0;
    }
    case 17452: FontCommand(); return 0;
    case 17539: ToggleToolWindow(0); return 0;
    case 17540: ToggleStatusBar(FrameHelpBar()); return 0;
    case 17804: ShowAboutBox(Frame().frame); return 0;
    case 18408: RunGlobalSettingsDialog(Frame().frame); return 0;
    case 18409: RunTitleBlockDialog(Frame().frame); return 0;
    case 18410: RunPreferencesDialog(Frame().frame); return 0;
    case 18411: OpenUserDefinitions(); return 0;
    default: break;
    }
    if (RouteEditCommand(context.active, id)) return 0;
    if (InRange(id, 17350, 17359)) {
        RecentComponentCommand(id);
        return 0;
    }
    if (InRange(id, 17400, 17409)) {
        ToggleViewOption(context, id);
        return 0;
    }
    if (InRange(id, 17541, 17549)) {
        ToggleToolWindow(id - 17540);
        return 0;
    }
    if (InRange(id, 17561, 17585)) {
        EditModeCommand(context, id);
        return 0;
    }
    if (InRange(id, 17800, 17803)) {
        ShowHelpTopic(id, 0);
        return 0;
    }
    if (InRange(id, kFirstRecentFileCommand, kFirstRecentFileCommand + kRecentFileCommands - 1)) {
        OpenRecentFile(id - kFirstRecentFileCommand);
        return 0;
    }
    if (InRange(id, kFirstComponentMenuCommand, kFirstComponentMenuCommand + ComponentDefinitionCount() - 1)) {
        ChooseComponentDefinition(context, id - kFirstComponentMenuCommand);
        return 0;
    }
    return 1;
}

}  // namespace

void ChooseComponentByName(const std::string& name)
{
    ComponentDefinition* definition = FindComponentDefinition(name);
    if (definition == nullptr) return;
    SetChosenComponentDefinition(definition);
    WindowRecord* active = GetActiveChildRecord();
    if (active && active->kind == kWindowSchematic) SetEditMode(active, kCommandComponentMode);
}

std::string CommandShortName(int commandId)
{
    const std::string text = LoadResString(commandId);
    const std::size_t feed = text.find('\n');
    if (feed != std::string::npos && feed + 1 < text.size()) return text.substr(feed + 1);
    return std::to_string(commandId);
}

void WarnNotAvailable(int commandId) { ReportMessage("E", kMsgNotAvailable, CommandShortName(commandId)); }

int RouteCommand(win::HWND, win::WPARAM wParam, win::LPARAM)
{
    const int id = static_cast<int>(wParam & 0xFFFF);
    CommandContext context;
    context.active = GetActiveChildRecord();
    context.kind = context.active ? context.active->kind : -1;
    context.topCircuit = GetTopCircuitRecord();
    // The commands of a performance window go to the one in front (F10, its menu commands, the
    // Scope and cursor commands); the others to the document window behind it.
    CommandContext performance = context;
    if (WindowRecord* front = GetFrontPerformanceRecord()) {
        performance.active = front;
        performance.kind = kWindowPerformance;
    }

    CountCommandUse(id);
    // The function menu's items are the text window's.
    if (InRange(id, 3400, 3453)) return 1;
    // The model library window's keys: its accelerator table turns them into commands.
    if (context.kind == kWindowModelLibrary && InRange(id, 762, 771)) {
        ModelEditorKeyCommand(context.active, id);
        return 0;
    }
    if (InRange(id, kCommandRestoreRunScales, kLastPageKeyCommand) && PlotKeyCommand(context, id) == 0) {
        RefreshToolButtonStates();
        return 0;
    }
    if (RoutePlotViewCommand(performance.active, id) == 0) {
        RefreshToolButtonStates();
        return 0;
    }
    if (InRange(id, kAdd3DWindowCommand, kLast3DWindowEntry)) return RouteGraph3DCommand(id, context.active);
    // The performance windows' commands, and the plot commands of a performance window.
    if (IsPerformanceCommand(id) ||
        (performance.kind == kWindowPerformance && (id == kCmdAddPerformancePlot || id == kCmdDeletePerformancePlot))) {
        RunPerformanceCommand(performance.active, id);
        RefreshToolButtonStates();
        return 0;
    }
    // Ctrl+Home, Ctrl+End, Ctrl+arrows, Ctrl+PgUp and Ctrl+PgDn of a schematic window.
    if (context.kind == kWindowSchematic && IsPageKeyCommand(id)) {
        PageKeyCommand(context.active, id);
        return 0;
    }
    if (id == kCommandGoToPerformance) {
        if (performance.kind == kWindowAnalysis || performance.kind == kWindowPerformance)
            OpenGoToPerformanceDialog(performance.active);
        return 0;
    }
    if (id == 15679 && performance.kind == kWindowPerformance) {
        ChangePerformanceWindow(performance.active);
        return 0;
    }
    if (InRange(id, kCmdFirstDemo, kCmdLastDemo)) {
        PlayDemo(id - kCmdFirstDemo);
        return 0;
    }
    if (id == kCmdDemoMessage) {
        ShowDemoMessage();
        return 0;
    }
    if (id == kCommandPrintSetup) {
        RunPrintSetup(context.active ? context.active->window : nullptr);
        return 0;
    }
    if (id == kCommandPrint) {
        PrintWindowRecord(context.active);
        return 0;
    }
    if (id == kCommandPrintPreview) {
        RunPrintPreview(context.active);
        return 0;
    }
    if (InRange(id, 16000, 16082) && ProbeModeActive() && HandleProbeMenuCommand(id) == 0) return 0;
    // The analysis commands of the circuit in front: Transient, AC and DC (17600 to 17602) and
    // their probe forms (17603 to 17605) start the analysis; Run (F2) runs the open one.
    if (InRange(id, 17600, 17605)) {
        WindowRecord* circuit = context.kind == kWindowSchematic || context.kind == kWindowTextCircuit
                                    ? context.active
                                    : context.topCircuit;
        if (circuit == nullptr) return 0;
        RunControl().probeFlag = id >= 17603 ? 1 : 0;
        RunAnalysisCommand(circuit, (id - 17600) % 3);
        RefreshToolButtonStates();
        return 0;
    }
    if (id == 16059) {
        // In probe mode Run (F2) is the probe's New Run, as its menu shows.
        const RunControlState& rc = RunControl();
        if (ProbeModeActive() && rc.probeState != kProbeNone) {
            if (!rc.running && !rc.paused) HandleProbeMenuCommand(kCmdProbeNewRun);
        } else {
            RunCurrentAnalysis();
        }
        return 0;
    }
    if (id == 17150) {
        OpenSteppingDialog();
        return 0;
    }
    // The run's state and output: numeric output, State Variables, point reduction, animation.
    if (id == 17151 || id == 17153 || id == 17155 || id == 17171) {
        if (!AnalysisOpen()) return 0;
        if (id == 17151) ShowNumericOutputWindow();
        if (id == 17153) OpenStateVariablesEditor();
        if (id == 17155) OpenDataPointReduction();
        if (id == 17171) OpenAnimateOptions();
        return 0;
    }
    if (id == 17166) {
        if (context.kind != kWindowAnalysis) return 1;
        DeletePlotObjects(context.active, Analysis().analysisKind);
        return 0;
    }
    // The Characteristics dialog of the active analysis window.
    if (id == 15679) {
        if (context.kind != kWindowAnalysis) return 1;
        OpenPlotCharacteristics(context.active);
        return 0;
    }
    // Limits only while an analysis is open; without one the command does nothing.
    if (id == 16060) {
        if (AnalysisOpen()) OpenAnalysisLimitsDialog();
        return 0;
    }
    if (RouteMonteCarloCommand(id, context.active) == 0) {
        RefreshToolButtonStates();
        return 0;
    }
    if (RouteKnownCommand(id, context) == 0) {
        RefreshToolButtonStates();
        return 0;
    }
    // The component menu: its ids beyond the component list fall through to the probe handler.
    if (ProbeModeActive()) {
        WarnNotAvailable(id);
        return 0;
    }
    return 1;
}

}  // namespace kq5
