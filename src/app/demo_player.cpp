#include "app/demo_player.h"

#include <stdlib.h>
#include <cstdio>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "analog/analysis_start.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "app/demo_script.h"
#include "ui/dialog_services.h"
#include "ui/frame_state.h"
#include "app/command_routing.h"
#include "ui/help_bar.h"
#include "app/info_dialogs.h"
#include "ui/program_settings.h"
#include "ui/tool_buttons.h"
#include "ui/tool_button_table.h"
#include "document/text_area.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/file_names.h"
#include "core/file_units.h"
#include "platform/controls.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window.h"
#include "schematic/circuit_window.h"
#include "document/component_library.h"
#include "document/editor_services.h"
#include "schematic/mouse_input.h"
#include "document/component_definition.h"
#include "document/pane_scroll_bars.h"
#include "core/linked_list.h"

namespace kq5 {

namespace {

constexpr int kQueueSize = 1200;
constexpr int kMaxCalls = 30;
constexpr int kMaxPopups = 20;
constexpr int kViewMargin = 16;
constexpr int kTextBufferMax = 1000;
constexpr const char* kDemoCaption = "Kestrion V Demo";

struct SavedDocument {
    std::string path;
    std::string title;
    bool untitled = false;
    int kind = 0;
    std::int32_t modified = 0;
    int mode = 0;
    bool placed = false;
    win::WINDOWPLACEMENT placement{};  // the window comes back where it was
};

struct CallFrame {
    std::string argument;
    std::size_t returnAt = 0;
};

struct DemoPlayerState {
    bool playing = false;
    bool stopFlag = false;
    bool stopRequest = false;
    bool stopped = true;
    std::vector<std::uint8_t> script;
    std::size_t at = 0;
    bool skipping = false;
    int target = 0;
    std::vector<CallFrame> calls;
    std::array<win::EVENTMSG, kQueueSize> queue{};
    int readIndex = 0;
    int writeIndex = 0;
    win::POINT pointer{};
    win::HWND pointerWindow = nullptr;
    int pointerStep = 2;
    int fast = 0;
    bool paused = false;
    bool leftDown = false;
    bool rightDown = false;
    bool rightDrag = false;
    bool ctrl = false;
    bool shift = false;
    // Menu walk.
    int menuTarget = 0;
    bool walking = false;
    bool pendingRelease = false;
    bool enterSubmenu = false;
    std::vector<std::pair<win::HMENU, win::POINT>> popups;
    // Wind-down progress: 0 nothing yet, then Esc sent, box closed, dialog closed.
    int windDown = 0;
    bool messageBoxOpen = false;
    std::string textBuffer;
    std::vector<SavedDocument> saved;
    std::string saveDirectory;
    win::HHOOK hook = nullptr;
    int nesting = 0;
    bool hold = false;
    bool statusShownByDemo = false;
    bool countersSwapped = false;
    int comboId = 0;
    std::string scriptPathForTests;
};

DemoPlayerState& Player()
{
    static DemoPlayerState state;
    return state;
}

// --- the event queue -------------------------------------------------------------------------

void Queue(win::UINT message, win::UINT paramL, win::UINT paramH, int delay, win::HWND window = nullptr)
{
    DemoPlayerState& p = Player();
    const int next = (p.writeIndex + 1) % kQueueSize;
    if (next == p.readIndex) {
        // A full ring: nothing sensible is left to play.
        p.readIndex = p.writeIndex = 0;
        p.stopRequest = true;
        return;
    }
    p.queue[static_cast<std::size_t>(p.writeIndex)] = win::EVENTMSG{message, paramL, paramH, static_cast<win::DWORD>(std::max(delay, 0)), window};
    p.writeIndex = next;
}

bool QueueEmpty() { return Player().readIndex == Player().writeIndex; }

void QueueMove(int delay)
{
    DemoPlayerState& p = Player();
    Queue(win::WM_MOUSEMOVE, static_cast<win::UINT>(p.pointer.x), static_cast<win::UINT>(p.pointer.y), delay, p.pointerWindow);
}

void QueueButton(win::UINT message)
{
    DemoPlayerState& p = Player();
    Queue(message, static_cast<win::UINT>(p.pointer.x), static_cast<win::UINT>(p.pointer.y), 0, p.pointerWindow);
}

void QueueKey(win::UINT message, int vk)
{
    const win::UINT scan = win::MapVirtualKey(static_cast<win::UINT>(vk), win::MAPVK_VK_TO_VSC);
    Queue(message, static_cast<win::UINT>(vk) | (scan << 8), 1, 0);
}

void Wait(int n)
{
    if (Player().fast != 0 && n >= 0) return;
    const int delay = 50 * std::abs(n);
    QueueMove(delay);
    QueueMove(delay);
}

// Walks the pointer to the screen point in steps, the last move exactly on it.
void MoveTo(win::POINT target, win::HWND window)
{
    DemoPlayerState& p = Player();
    const int step = std::max(1, std::abs(p.pointerStep));
    const int dx = target.x - p.pointer.x, dy = target.y - p.pointer.y;
    const int longer = std::max(std::abs(dx), std::abs(dy));
    const win::POINT from = p.pointer;
    p.pointerWindow = window;
    for (int done = step; done < longer; done += step) {
        p.pointer.x = from.x + static_cast<int>(std::lround(static_cast<double>(dx) * done / longer));
        p.pointer.y = from.y + static_cast<int>(std::lround(static_cast<double>(dy) * done / longer));
        QueueMove(20);
    }
    p.pointer = target;
    QueueMove(20);
}

// --- where things are ------------------------------------------------------------------------

// The window of a step: the active schematic or text window.
WindowRecord* StepWindow()
{
    WindowRecord* record = GetActiveChildRecord();
    if (record && (record->kind == kWindowSchematic || record->kind == kWindowTextCircuit) && record->window) return record;
    return nullptr;
}

// The dialog of a step: the active window, or the active MDI child when the frame is active.
win::HWND StepDialog()
{
    win::HWND active = win::GetActiveWindow();
    if (active == Frame().frame) {
        WindowRecord* child = GetActiveChildRecord();
        return child ? child->window : nullptr;
    }
    return active;
}

win::HWND FindStepControl(int id)
{
    win::HWND dialog = StepDialog();
    if (dialog) {
        if (win::HWND control = win::GetDlgItem(dialog, id)) return control;
        // OK and Yes stand in for whichever closing button a box has.
        if (id == win::IDOK || id == win::IDYES) {
            for (int other = 0; other <= 9; ++other)
                if (win::HWND control = win::GetDlgItem(dialog, other)) return control;
        }
    }
    WindowRecord* child = GetActiveChildRecord();
    if (child && child->window) return win::GetDlgItem(child->window, id);
    return nullptr;
}

win::POINT CentreOf(win::HWND window)
{
    win::RECT r{};
    win::GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool MoveToControl(int id)
{
    win::HWND control = FindStepControl(id);
    if (control == nullptr) {
        Player().stopRequest = true;
        return false;
    }
    MoveTo(CentreOf(control), control);
    Wait(5);
    return true;
}

void ClickHere()
{
    QueueButton(win::WM_LBUTTONDOWN);
    QueueButton(win::WM_LBUTTONUP);
}

void ClickControl(int id)
{
    if (!MoveToControl(id)) return;
    Wait(5);
    ClickHere();
    Wait(5);
}

// The screen point of a grid point of the window, the view moved first when it lies outside
// the window's client area (less a margin).
bool GridPoint(int gx, int gy, win::POINT& screen)
{
    WindowRecord* record = StepWindow();
    if (record == nullptr || record->document == nullptr) {
        Player().stopRequest = true;
        return false;
    }
    CircuitDocument& document = *record->document;
    const int pane = document.currentPane;
    win::RECT client{};
    win::GetClientRect(record->window, &client);
    win::POINT at = GridToPaneClient(record, gx, gy, pane);
    const bool inside = at.x >= client.left + kViewMargin && at.x < client.right - kViewMargin &&
                        at.y >= client.top + kViewMargin && at.y < client.bottom - kViewMargin;
    if (!inside && !Player().rightDrag) {
        // Brings the point to the middle of the pane, as scrolling there would.
        ScrollPaneToAndRedraw(record, pane, gx, gy);
        at = GridToPaneClient(record, gx, gy, pane);
    }
    win::ClientToScreen(record->window, &at);
    screen = at;
    return true;
}

// --- menus -------------------------------------------------------------------------------------

bool MenuHolds(win::HMENU menu, int command, int depth = 0)
{
    if (menu == nullptr || depth > 8) return false;
    const int count = win::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (win::HMENU sub = win::GetSubMenu(menu, i)) {
            if (MenuHolds(sub, command, depth + 1)) return true;
        } else if (static_cast<int>(win::GetMenuItemID(menu, i)) == command) {
            return true;
        }
    }
    return false;
}

bool IsTopLevelPopup(win::HMENU popup)
{
    win::HMENU bar = win::GetMenu(Frame().frame);
    const int count = win::GetMenuItemCount(bar);
    for (int i = 0; i < count; ++i)
        if (win::GetSubMenu(bar, i) == popup) return true;
    return false;
}

void StartMenuWalk(int command)
{
    DemoPlayerState& p = Player();
    win::HMENU bar = Frame().frame ? win::GetMenu(Frame().frame) : nullptr;
    if (!MenuHolds(bar, command)) {
        win::PostMessage(Frame().frame, win::WM_COMMAND, static_cast<win::WPARAM>(command), 0);
        return;
    }
    p.menuTarget = command;
    p.walking = true;
    p.pendingRelease = true;
    p.enterSubmenu = false;
    win::POINT start{4, -4};
    win::ClientToScreen(Frame().frame, &start);
    for (const auto& [menu, point] : p.popups) {
        if (MenuHolds(menu, command)) {
            start = point;
            break;
        }
    }
    MoveTo(start, Frame().frame);
    QueueButton(win::WM_LBUTTONDOWN);
}

// One move of a menu walk; false when no walk is under way.
bool MenuWalkStep()
{
    DemoPlayerState& p = Player();
    if (p.walking || p.enterSubmenu) {
        const bool top = p.pointer.y <= 0;
        p.pointer.x += top ? 16 : 8;
        QueueMove(top ? 25 : 50);
        return true;
    }
    if (p.menuTarget != 0) {
        p.pointer.y += 6;
        QueueMove(25);
        return true;
    }
    if (p.pendingRelease) {
        p.pendingRelease = false;
        Wait(10);
        Queue(win::WM_LBUTTONUP, static_cast<win::UINT>(p.pointer.x), static_cast<win::UINT>(p.pointer.y), 0, Frame().frame);
        Wait(10);
        return true;
    }
    return false;
}

// Palettes 1 to 9 of the View menu are left out when they hold no component.
bool EmptyPaletteCommand(int command)
{
    if (command < 17541 || command > 17549) return false;
    const auto& bar = DockedBars()[static_cast<std::size_t>(command - 17540)];
    return bar.entries.empty();
}

int ComponentIndex(const std::string& name) { return ComponentDefinitionIndex(name); }

bool IsCurrentComponent(const std::string& name)
{
    const ComponentDefinition* chosen = ChosenComponentDefinition();
    WindowRecord* record = StepWindow();
    return chosen && EqualsNoCase(chosen->name, name) && record && record->mode == 17562;
}

void ChooseComponentStep(const std::string& name, bool viaButton)
{
    const int index = ComponentIndex(name);
    if (index < 0) {
        Player().stopRequest = true;
        return;
    }
    if (IsCurrentComponent(name)) return;
    if (viaButton) {
        const int command = FindComponentButton(name);
        // A button not bound to a part of the library chooses nothing: the menu does it then.
        if (command >= 0 && ToolCommandOf(static_cast<std::uint32_t>(command)) >= kComponentMenuBase) {
            for (const DockedBar& bar : DockedBars()) {
                if (bar.window == nullptr || !win::IsWindowVisible(bar.window)) continue;
                win::HWND button = win::GetDlgItem(bar.window, command);
                if (button && win::IsWindowVisible(button)) {
                    MoveTo(CentreOf(button), button);
                    Wait(5);
                    ClickHere();
                    Wait(5);
                    return;
                }
            }
        }
    }
    StartMenuWalk(kFirstComponentMenuCommand + index);
    Wait(10);
}

// --- saving the documents aside --------------------------------------------------------------

bool IsDemoDocumentKind(int kind) { return kind == kWindowSchematic || kind == kWindowTextCircuit || kind == kWindowModelLibrary; }

void PumpUntilClosed(WindowRecord* record)
{
    for (int guard = 0; guard < 1000 && IsLiveWindowRecord(record); ++guard) {
        win::MSG message{};
        if (!win::PeekMessage(&message, nullptr, 0, 0, win::PM_REMOVE)) break;
        win::TranslateMessage(&message);
        win::DispatchMessage(&message);
    }
}

void CloseQuietly(WindowRecord* record)
{
    // The question about unsaved changes is answered No: the document was saved aside, or it
    // belongs to the demo.
    record->modified = 0;
    record->changed = 0;
    record->untitled = false;
    CloseWindowRecord(record);
    PumpUntilClosed(record);
}

void EndAnalysisAndPump()
{
    if (Analysis().analysisKind == kAnalysisNone) return;
    ExitAnalysis();
    for (int guard = 0; guard < 1000 && Analysis().analysisKind != kAnalysisNone; ++guard) {
        win::MSG message{};
        if (!win::PeekMessage(&message, nullptr, 0, 0, win::PM_REMOVE)) break;
        win::TranslateMessage(&message);
        win::DispatchMessage(&message);
    }
}

// A copy is trusted only when it reads back as the kind of file it was written as.
// A text circuit's copy must hold its text; a schematic's must read back as a circuit file.
bool SavedCopyReadable(const SavedDocument& saved, const std::string& text)
{
    std::ifstream in(saved.path, std::ios::binary);
    if (!in) return false;
    const std::string content((std::istreambuf_iterator<char>(in)), {});
    if (saved.kind == kWindowTextCircuit) return content == text;
    const int unit = FindFreeUnit();
    if (unit < 0 || OpenUnitDiskFile(saved.path, unit) != 0) return false;
    std::int32_t version = 0;
    const int status = CheckCircuitFileHeader(unit, version);
    CloseUnit(unit);
    return status == 0 && !content.empty();
}

void RemoveSaveDirectory()
{
    DemoPlayerState& p = Player();
    if (p.saveDirectory.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(p.saveDirectory, error);
    p.saveDirectory.clear();
}

// 0, or a message id (already reported) when a document could not be saved aside; then
// nothing is closed.
int SaveDocumentsAside()
{
    DemoPlayerState& p = Player();
    EndAnalysisAndPump();
    if (win::HWND calculator = CalculatorWindow()) win::SendMessage(calculator, win::WM_COMMAND, kCalculatorClose, 0);
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    std::string pattern = (temporary / "kq5-demo-XXXXXX").string();
    if (error || ::mkdtemp(pattern.data()) == nullptr) {
        ReportMessage("E", 16000 + (error ? error.value() : errno));
        return kMsgAlreadyReported;
    }
    p.saveDirectory = pattern;
    std::vector<WindowRecord*> documents;
    for (const auto& record : WindowRecords().records)
        if (IsDemoDocumentKind(record->kind) && record->window) documents.push_back(record.get());
    std::vector<SavedDocument> saved;
    int number = 1;
    for (WindowRecord* record : documents) {
        SavedDocument copy;
        copy.title = GetRecordTitle(record);
        copy.untitled = record->untitled;
        copy.kind = record->kind;
        copy.modified = record->modified;
        copy.mode = record->mode;
        copy.placed = win::GetWindowPlacement(record->window, &copy.placement) != 0;
        copy.path = p.saveDirectory + "/" + std::to_string(number++) + (record->kind == kWindowTextCircuit ? ".ckt" : ".cir");
        int status = 0;
        std::string text;
        if (record->kind == kWindowTextCircuit) {
            // A text circuit's own save writes to its title, the user's file: the copy is made here.
            std::optional<std::string> content = CopyTextAreaText(record);
            if (!content) {
                ReportMessage("E", kMsgInsufficientMemory);
                status = kMsgAlreadyReported;
            } else if ((status = ReplaceFileContents(copy.path, *content)) != 0) {
                ReportMessage("E", status);
                status = kMsgAlreadyReported;
            }
            text = content.value_or(std::string());
        } else {
            const std::string title = record->title;
            status = WriteCircuitFile(record, copy.path, kWriteQuietly);
            record->title = title;
        }
        record->modified = copy.modified;
        record->untitled = copy.untitled;
        if (status != 0 || !SavedCopyReadable(copy, text)) {
            if (status == 0) ReportMessage("E", 16000 + EIO);
            RemoveSaveDirectory();
            return kMsgAlreadyReported;
        }
        saved.push_back(std::move(copy));
    }
    for (WindowRecord* record : documents)
        if (IsLiveWindowRecord(record)) CloseQuietly(record);
    p.saved = std::move(saved);
    return 0;
}

void RestoreDocuments()
{
    DemoPlayerState& p = Player();
    for (const SavedDocument& saved : p.saved) {
        WindowRecord* opened = nullptr;
        const int kind = saved.kind == kWindowTextCircuit ? kFileKindTextCircuit : kFileKindSchematic;
        if (LoadCircuitFile(nullptr, saved.path, kind, kLoadDefaults | kLoadNoRecent, opened) == 0 && opened) {
            SetRecordTitle(opened, saved.title);
            opened->untitled = saved.untitled;
            opened->modified = saved.modified;
            opened->mode = saved.mode;
            if (saved.placed && opened->window) win::SetWindowPlacement(opened->window, &saved.placement);
            std::error_code error;
            std::filesystem::remove(saved.path, error);
        }
    }
    p.saved.clear();
    // A copy that could not be opened again stays where it is, for the user to find.
    std::error_code error;
    if (!p.saveDirectory.empty() && std::filesystem::is_empty(p.saveDirectory, error)) RemoveSaveDirectory();
    else p.saveDirectory.clear();
}

// --- steps -------------------------------------------------------------------------------------

// The text operand, with "$1" standing for the innermost call's argument.
std::optional<std::string> ReadText(std::size_t& at, int max)
{
    auto text = DemoScriptReader(Player().script).Text(at, max);
    if (text && *text == "$1" && !Player().calls.empty()) return Player().calls.back().argument;
    return text;
}

void ClickGrid(int gx, int gy)
{
    win::POINT screen{};
    if (!GridPoint(gx, gy, screen)) return;
    MoveTo(screen, StepWindow()->window);
}

void DragGrid(int x1, int y1, int x2, int y2)
{
    win::POINT from{}, to{};
    if (!GridPoint(x1, y1, from)) return;
    MoveTo(from, StepWindow()->window);
    QueueButton(win::WM_LBUTTONDOWN);
    if (!GridPoint(x2, y2, to)) return;
    MoveTo(to, StepWindow()->window);
    QueueButton(win::WM_LBUTTONUP);
}

// Runs one step; false when the script is damaged (the caller stops).
bool RunStep()
{
    DemoPlayerState& p = Player();
    const DemoScriptReader reader(p.script);
    std::size_t at = p.at;
    const auto code = reader.Byte(at);
    if (!code) return false;  // the end of the script without END
    const DemoOpcode* op = FindDemoOpcode(*code);
    if (op == nullptr) return false;
    if (p.skipping && *code != kDemoOpLabel && *code != kDemoOpEnd) {
        const auto next = reader.SkipStep(p.at);
        if (!next) return false;
        p.at = *next;
        return true;
    }
    // Operand readers that fail on a short script.
    bool damaged = false;
    const auto word = [&] {
        auto v = reader.Word(at);
        if (!v) damaged = true;
        return v.value_or(0);
    };
    const auto byte = [&] {
        auto v = reader.Byte(at);
        if (!v) damaged = true;
        return v.value_or(0);
    };
    const auto text = [&](int max) {
        auto v = ReadText(at, max);
        if (!v) damaged = true;
        return v.value_or(std::string());
    };
    WindowRecord* window = StepWindow();
    switch (*code) {
    case 4: {
        const int key = word();
        if (damaged) break;
        if (win::MapVirtualKey(static_cast<win::UINT>(key), win::MAPVK_VK_TO_VSC) == 0) break;
        QueueKey(win::WM_KEYDOWN, key);
        QueueKey(win::WM_KEYUP, key);
        break;
    }
    case 5:
        if (WindowRecord* top = GetTopCircuitRecord(); top && top->window)
            win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(top->window), 0);
        else
            p.stopFlag = true;
        break;
    case 6:
        if (WindowRecord* analysis = RunControl().analysisWindow; analysis && analysis->window)
            win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(analysis->window), 0);
        else
            p.stopFlag = true;
        break;
    case 8: {
        const int id = word();
        const std::size_t rerun = at;
        byte();
        const std::string wanted = text(100);
        if (damaged) break;
        win::HWND control = FindStepControl(id);
        if (control && win::GetWindowText(control) == wanted) break;
        ClickControl(id);
        Wait(10);
        p.at = rerun;
        return true;
    }
    case 9: {
        const int x1 = word(), y1 = word(), x2 = word(), y2 = word();
        if (damaged) break;
        DragGrid(x1, y1, x2, y2);
        Wait(5);
        break;
    }
    case 10: {
        const int id = word();
        if (damaged) break;
        if (win::IsDlgButtonChecked(StepDialog(), id) != win::BST_CHECKED) ClickControl(id);
        break;
    }
    case 11: {
        const int id = word(), state = byte();
        if (damaged) break;
        if (static_cast<int>(win::IsDlgButtonChecked(StepDialog(), id)) != state) ClickControl(id);
        break;
    }
    case 12: {
        const int condition = byte();
        if (damaged) break;
        if (!DemoConditionHolds(condition)) {
            // As the script format has it: four bytes, not the text, are passed over.
            if (at + 4 > p.script.size()) return false;
            at += 4;
            break;
        }
        p.textBuffer = text(kTextBufferMax);
        if (damaged) break;
        win::PostMessage(Frame().frame, win::WM_COMMAND, kCmdDemoMessage, 0);
        Wait(10);
        break;
    }
    case 13: {
        const int x = word(), y = word(), wait = word();
        if (damaged) break;
        ClickGrid(x, y);
        Wait(wait);
        break;
    }
    case 15: {
        const int n = word();
        if (!damaged) Wait(n);
        break;
    }
    case 17: {
        const std::string name = text(601);
        if (damaged) break;
        if (ComponentIndex(name) < 0) {
            p.stopFlag = true;
            break;
        }
        if (!IsCurrentComponent(name)) StartMenuWalk(kFirstComponentMenuCommand + ComponentIndex(name));
        Wait(10);
        break;
    }
    case 18: {
        const int cx = word(), cy = word(), wait = word();
        if (damaged || window == nullptr) {
            if (!damaged) p.stopRequest = true;
            break;
        }
        win::POINT point{8 * cx + 4, 8 * cy + 4};
        win::ClientToScreen(window->window, &point);
        MoveTo(point, window->window);
        Wait(wait);
        break;
    }
    case 21: {
        const int x1 = byte(), y1 = byte(), x2 = byte(), y2 = byte();
        if (!damaged) DragGrid(x1, y1, x2, y2);
        break;
    }
    case 22: p.pointerStep = word(); break;
    case 24: p.fast = word(); break;
    case 25: {
        const int px = word(), py = word(), wait = word();
        if (damaged) break;
        win::HWND target = window ? window->window : StepDialog();
        if (target == nullptr) {
            p.stopRequest = true;
            break;
        }
        win::RECT client{};
        win::GetClientRect(target, &client);
        win::POINT point{client.right * px / 100, client.bottom * py / 100};
        win::ClientToScreen(target, &point);
        MoveTo(point, target);
        Wait(wait);
        break;
    }
    case 27: {
        const int command = word();
        if (damaged) break;
        if (window && window->mode == command) break;
        const DockedBar& bar = DockedBars()[0];
        win::HWND button = bar.window ? win::GetDlgItem(bar.window, command) : nullptr;
        if (button == nullptr || !win::IsWindowVisible(button)) {
            p.stopRequest = true;
            break;
        }
        MoveTo(CentreOf(button), button);
        Wait(5);
        ClickHere();
        Wait(5);
        break;
    }
    case 28: {
        const int id = word();
        if (!damaged) ClickControl(id);
        break;
    }
    case 29: {
        const int wait = word();
        if (damaged) break;
        QueueButton(win::WM_LBUTTONDOWN);
        Wait(wait);
        break;
    }
    case 30: {
        const int wait = word();
        if (damaged) break;
        QueueButton(win::WM_LBUTTONUP);
        Wait(wait);
        break;
    }
    case 31: {
        const int wait = word();
        if (damaged) break;
        QueueButton(win::WM_RBUTTONDOWN);
        p.rightDrag = true;
        Wait(wait);
        break;
    }
    case 32: {
        const int wait = word();
        if (damaged) break;
        QueueButton(win::WM_RBUTTONUP);
        p.rightDrag = false;
        Wait(wait);
        break;
    }
    case 33:
        if (win::HWND focus = win::GetFocus()) {
            win::SetWindowText(focus, "");
            win::SendMessage(focus, win::EM_SETMODIFY, 1, 0);
        }
        break;
    case 34: {
        const std::string s = text(500);
        if (damaged) break;
        // The text stands for typing: an edit takes it as typed, so a run or a closing dialog
        // stores it as it stores what the user types.
        if (win::HWND focus = win::GetFocus()) {
            win::SetWindowText(focus, s.c_str());
            win::SendMessage(focus, win::EM_SETMODIFY, 1, 0);
        }
        break;
    }
    case 35: {
        const int x = byte(), y = byte();
        if (damaged || window == nullptr) {
            if (!damaged) p.stopRequest = true;
            break;
        }
        DragGrid(window->markRect.left + 1, window->markRect.top + 1, x - 1, y - 1);
        Wait(4);
        break;
    }
    case 36: {
        const int command = word();
        if (damaged) break;
        if (!EmptyPaletteCommand(command)) StartMenuWalk(command);
        Wait(10);
        break;
    }
    case 37: {
        const int x = word(), y = word(), wait = word();
        if (damaged) break;
        ClickGrid(x, y);
        Wait(5);
        ClickHere();
        Wait(wait);
        break;
    }
    case 38: {
        const int x = byte(), y = byte(), orientation = byte();
        if (damaged) break;
        Wait(10);
        ClickGrid(x, y);
        QueueButton(win::WM_LBUTTONDOWN);
        // The press places the chosen part with its definition's last turn.
        if (ComponentDefinition* chosen = ChosenComponentDefinition()) SetDefinitionOrientation(*chosen, orientation & 7);
        Wait(5);
        QueueButton(win::WM_LBUTTONUP);
        Wait(4);
        break;
    }
    case 39:
        if (win::HWND active = win::GetActiveWindow()) win::PostMessage(active, win::WM_CLOSE, 0, 0);
        break;
    case 40: {
        const int key = byte();
        if (damaged) break;
        QueueKey(win::WM_SYSKEYDOWN, win::VK_MENU);
        QueueKey(win::WM_SYSKEYDOWN, key);
        QueueKey(win::WM_SYSKEYUP, key);
        QueueKey(win::WM_SYSKEYUP, win::VK_MENU);
        Wait(5);
        break;
    }
    case 41: {
        const int condition = byte(), label = word();
        if (damaged) break;
        if (DemoConditionHolds(condition)) {
            p.skipping = true;
            p.target = label;
        }
        break;
    }
    case 42: {
        const int label = word();
        if (damaged) break;
        if (p.skipping && label == p.target) p.skipping = false;
        break;
    }
    case 43: {
        const int id = word();
        const std::string s = text(500);
        if (damaged) break;
        win::HWND dialog = StepDialog();
        win::HWND list = dialog ? win::GetDlgItem(dialog, id) : nullptr;
        if (list == nullptr) {
            p.stopRequest = true;
            break;
        }
        win::SendMessage(list, win::LB_SELECTSTRING, static_cast<win::WPARAM>(-1), reinterpret_cast<win::LPARAM>(s.c_str()));
        win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(id, 1), reinterpret_cast<win::LPARAM>(list));
        break;
    }
    case 44: {
        const int label = word(), has = byte();
        std::string argument;
        if (!damaged && has != 0) argument = text(kDemoCallArgumentMax);
        if (damaged) break;
        if (p.calls.size() < kMaxCalls) {
            p.calls.push_back({argument, at});
            p.target = label;
            p.skipping = true;
            p.at = 0;
            return true;
        }
        break;
    }
    case 45:
        if (p.calls.empty()) {
            p.stopFlag = true;
            break;
        }
        p.at = p.calls.back().returnAt;
        p.calls.pop_back();
        return true;
    case 46: {
        const std::string name = text(601);
        if (!damaged) ChooseComponentStep(name, true);
        break;
    }
    case 47: {
        const int command = word();
        if (damaged) break;
        if (!EmptyPaletteCommand(command)) win::PostMessage(Frame().frame, win::WM_COMMAND, static_cast<win::WPARAM>(command), 0);
        Wait(10);
        break;
    }
    // The key-state bits of mouse messages follow the script: Ctrl and Shift are held for real.
    case 48:
        if (!p.ctrl) QueueKey(win::WM_KEYDOWN, win::VK_CONTROL);
        p.ctrl = true;
        break;
    case 49:
        if (p.ctrl) QueueKey(win::WM_KEYUP, win::VK_CONTROL);
        p.ctrl = false;
        break;
    case 50:
        if (!p.shift) QueueKey(win::WM_KEYDOWN, win::VK_SHIFT);
        p.shift = true;
        break;
    case 51:
        if (p.shift) QueueKey(win::WM_KEYUP, win::VK_SHIFT);
        p.shift = false;
        break;
    case 52: {
        const int id = word();
        if (damaged) break;
        p.comboId = id;
        MoveToControl(id);
        break;
    }
    case 54: {
        const std::string s = text(100);
        if (damaged) break;
        win::HWND dialog = StepDialog();
        win::HWND combo = dialog ? win::GetDlgItem(dialog, p.comboId) : nullptr;
        if (combo == nullptr) {
            p.stopRequest = true;
            break;
        }
        win::HWND focus = win::GetFocus();
        win::SetFocus(combo);
        win::SendMessage(combo, win::CB_SELECTSTRING, static_cast<win::WPARAM>(-1), reinterpret_cast<win::LPARAM>(s.c_str()));
        win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(p.comboId, 1), reinterpret_cast<win::LPARAM>(combo));
        if (focus) win::SetFocus(focus);
        break;
    }
    case 100: p.stopFlag = true; break;
    default: return false;
    }
    if (damaged) return false;
    p.at = at;
    return true;
}

void CloseDemoMessageBox()
{
    win::HWND active = win::GetActiveWindow();
    if (active && active != Frame().frame) win::PostMessage(active, win::WM_CLOSE, 0, 0);
}

// One action of the wind-down after the stop flag.
void WindDownStep()
{
    DemoPlayerState& p = Player();
    switch (p.windDown++) {
    case 0:
        for (int i = 0; i < 2; ++i) {
            QueueKey(win::WM_KEYDOWN, win::VK_ESCAPE);
            QueueKey(win::WM_KEYUP, win::VK_ESCAPE);
            Wait(-10);
        }
        return;
    case 1:
        if (p.messageBoxOpen) {
            CloseDemoMessageBox();
            Wait(-10);
        }
        return;
    case 2:
        if (win::HWND dialog = CurrentDialog(); dialog && win::IsWindow(dialog)) {
            win::PostMessage(dialog, win::WM_CLOSE, 0, 0);
            Wait(-10);
        }
        return;
    default:
        if (Analysis().analysisKind != kAnalysisNone && RunControl().analysisWindow && RunControl().analysisWindow->window &&
            p.windDown < 8) {
            win::HWND analysis = RunControl().analysisWindow->window;
            win::PostMessage(analysis, win::WM_KEYDOWN, win::VK_F3, 0);
            win::PostMessage(analysis, win::WM_KEYUP, win::VK_F3, 0);
            Wait(-10);
            return;
        }
        p.stopRequest = true;
        return;
    }
}

// Fills the queue with the next step's events (or sets the stop request).
void Interpret()
{
    DemoPlayerState& p = Player();
    ++p.nesting;
    if (p.stopFlag) {
        // A walk that lost its menu (the pointer ran off the screen, the user pressed Esc)
        // would otherwise walk on for ever and the wind-down would never come.
        p.walking = p.enterSubmenu = p.pendingRelease = false;
        p.menuTarget = 0;
    }
    if (MenuWalkStep()) {
        --p.nesting;
        return;
    }
    if (p.stopFlag) {
        WindDownStep();
    } else {
        // Steps passed over while looking for a label run on; any other step runs alone, so
        // that what it posted is handled before the next step looks at the screen.
        for (int guard = 0; guard < 100000 && !p.stopFlag && !p.stopRequest; ++guard) {
            const bool passing = p.skipping;
            if (!RunStep()) {
                p.stopFlag = true;
                break;
            }
            if (!passing || !QueueEmpty()) break;
        }
        if (QueueEmpty() && !p.stopRequest) QueueMove(0);
    }
    --p.nesting;
}

bool KeyPressedSinceLastLook(int vk) { return (win::GetAsyncKeyState(vk) & 0x8001) != 0; }

// A tap of Esc between two looks counts as well: while the program is busy the hook is asked
// only once a second, and a key is rarely held that long.
bool StopKeysPressed()
{
    const bool escape = KeyPressedSinceLastLook(win::VK_ESCAPE);
    const bool controlBreak = (win::GetAsyncKeyState(win::VK_CONTROL) & 0x8000) && KeyPressedSinceLastLook(win::VK_CANCEL);
    return escape || controlBreak;
}

win::HHOOK InstallPlaybackHook() { return win::SetWindowsHookEx(win::WH_JOURNALPLAYBACK, DemoPlaybackHookProc, nullptr, 0); }

// The input that came while the box was up and is still queued (the release of the Enter that
// answered it) is taken in before playback takes over the input again, so that no key stays
// down for the program.
void TakeLeftoverInput()
{
    win::MSG message{};
    for (int guard = 0; guard < 200; ++guard) {
        if (!win::PeekMessage(&message, nullptr, win::WM_KEYFIRST, win::WM_KEYLAST, win::PM_REMOVE) &&
            !win::PeekMessage(&message, nullptr, win::WM_MOUSEFIRST, win::WM_MOUSELAST, win::PM_REMOVE))
            break;
    }
}


}  // namespace

void ShowDemoMessage()
{
    DemoPlayerState& p = Player();
    WindowRecord* active = GetActiveChildRecord();
    win::HWND owner = win::GetActiveWindow();
    if (owner == nullptr && active) owner = active->window;
    // The box waits for the user: playback lets go of the input while it is up, so that the
    // user's Enter or click answers it, and the script goes on only after that.
    const bool ownHook = p.hook != nullptr;
    if (ownHook) {
        win::UnhookWindowsHookEx(p.hook);
        p.hook = nullptr;
    }
    KeyPressedSinceLastLook(win::VK_ESCAPE);
    p.messageBoxOpen = true;
    win::MessageBox(owner ? owner : Frame().frame, p.textBuffer.c_str(), kDemoCaption, win::MB_OK);
    p.messageBoxOpen = false;
    // Esc answers the box too; the demo takes it as the stop its first box promises.
    if (KeyPressedSinceLastLook(win::VK_ESCAPE)) p.stopFlag = true;
    if (ownHook && p.playing && !p.stopped) {
        TakeLeftoverInput();
        p.hook = InstallPlaybackHook();
        if (p.hook == nullptr) StopDemo(true);
    }
}

win::LRESULT DemoPlaybackHookProc(int code, win::WPARAM wParam, win::LPARAM lParam)
{
    DemoPlayerState& p = Player();
    if (code == win::HC_GETNEXT) {
        auto* event = reinterpret_cast<win::EVENTMSG*>(lParam);
        if (QueueEmpty() && !p.stopRequest && p.nesting == 0) Interpret();
        if (QueueEmpty()) {
            // Nothing to play (a stop is on its way): a pointer move where the pointer is.
            *event = win::EVENTMSG{win::WM_MOUSEMOVE, static_cast<win::UINT>(p.pointer.x), static_cast<win::UINT>(p.pointer.y),
                                   win::GetTickCount(), nullptr};
            return 0;
        }
        win::EVENTMSG& queued = p.queue[static_cast<std::size_t>(p.readIndex)];
        *event = queued;
        event->time = win::GetTickCount();
        if (event->message == win::WM_MOUSEMOVE &&
            (event->paramL > static_cast<win::UINT>(win::GetSystemMetrics(win::SM_CXSCREEN)) ||
             event->paramH > static_cast<win::UINT>(win::GetSystemMetrics(win::SM_CYSCREEN)))) {
            event->message = win::WM_NULL;
            p.stopFlag = true;
        }
        if (event->message == win::WM_LBUTTONDOWN) p.leftDown = true;
        if (event->message == win::WM_LBUTTONUP) p.leftDown = false;
        if (event->message == win::WM_RBUTTONDOWN) p.rightDown = true;
        if (event->message == win::WM_RBUTTONUP) p.rightDown = false;
        win::LRESULT delay = static_cast<win::LRESULT>(queued.time);
        queued.time = 0;
        if (!p.stopFlag) {
            if (KeyPressedSinceLastLook('P') || KeyPressedSinceLastLook(win::VK_PAUSE)) p.paused = !p.paused;
            if (KeyPressedSinceLastLook(win::VK_RETURN)) p.paused = false;
            if (StopKeysPressed()) {
                p.stopFlag = true;
                delay = 0;
                if (p.leftDown) event->message = win::WM_LBUTTONUP;
                else if (p.rightDown) event->message = win::WM_RBUTTONUP;
            } else if (RunControl().running || p.hold || p.nesting > 0 || p.paused) {
                queued.time = 0;
                return 1000;
            }
        }
        return delay;
    }
    if (code == win::HC_SKIP) {
        if (p.stopRequest) {
            StopDemo(true);
            return 0;
        }
        if (!QueueEmpty()) p.readIndex = (p.readIndex + 1) % kQueueSize;
        if (StopKeysPressed()) p.stopFlag = true;
        return 0;
    }
    return win::CallNextHookEx(p.hook, code, wParam, lParam);
}

void DemoMenuPopupOpened(win::HMENU popup)
{
    DemoPlayerState& p = Player();
    if (!p.playing || p.menuTarget == 0) return;
    if (IsTopLevelPopup(popup)) {
        const bool known = std::any_of(p.popups.begin(), p.popups.end(), [&](const auto& e) { return e.first == popup; });
        if (!known && static_cast<int>(p.popups.size()) < kMaxPopups) p.popups.emplace_back(popup, p.pointer);
        if (p.walking && MenuHolds(popup, p.menuTarget)) {
            p.walking = false;
            p.pointer.x += 6;
            QueueMove(25);
        }
    }
}

void DemoMenuSelected(win::HMENU menu, unsigned item, unsigned flags)
{
    DemoPlayerState& p = Player();
    if (!p.playing || p.menuTarget == 0 || p.walking) return;
    win::HMENU bar = Frame().frame ? win::GetMenu(Frame().frame) : nullptr;
    if ((flags & win::MF_POPUP) && menu != bar) {
        win::HMENU sub = win::GetSubMenu(menu, static_cast<int>(item));
        if (sub && MenuHolds(sub, p.menuTarget)) {
            p.enterSubmenu = true;
            return;
        }
    }
    p.enterSubmenu = false;
    if (!(flags & win::MF_POPUP) && static_cast<int>(item) == p.menuTarget) p.menuTarget = 0;
}

void PlayDemo(int startLabel)
{
    DemoPlayerState& p = Player();
    const bool wasPlaying = p.playing;
    if (wasPlaying) StopDemo(false);
    HideVisibleBars(1);
    bool statusShownNow = false;
    if (!wasPlaying && !HelpBarOption()) {
        ToggleStatusBar(FrameHelpBar());
        statusShownNow = true;
    }
    const std::string pathForTests = p.scriptPathForTests;
    const auto saved = std::move(p.saved);
    const std::string saveDirectory = p.saveDirectory;
    const bool swapped = p.countersSwapped;
    const bool statusShown = p.statusShownByDemo || statusShownNow;
    p = DemoPlayerState{};
    p.scriptPathForTests = pathForTests;
    p.statusShownByDemo = statusShown;
    p.saved = saved;
    p.saveDirectory = saveDirectory;
    p.countersSwapped = swapped;
    p.stopped = false;
    win::GetCursorPos(&p.pointer);
    if (!wasPlaying) {
        SwapUntitledCounters(true);
        p.countersSwapped = true;
        if (SaveDocumentsAside() != 0) {
            SwapUntitledCounters(false);
            p.countersSwapped = false;
            RestoreHiddenBars(1);
            p.stopped = true;
            return;
        }
    }
    p.playing = true;
    Settings().demoRunning = true;
    const std::string path = !p.scriptPathForTests.empty() ? p.scriptPathForTests : Settings().programDirectory + "demo.kq5";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ReportMessage("E", 16000 + (errno ? errno : ENOENT));
        StopDemo(true);
        return;
    }
    if (Frame().frame) win::ShowWindow(Frame().frame, win::SW_SHOWMAXIMIZED);
    unsigned char count[2] = {};
    in.read(reinterpret_cast<char*>(count), 2);
    const auto n = static_cast<std::int16_t>(count[0] | (count[1] << 8));
    if (in.gcount() != 2 || n < 0) {
        ReportMessage("E", 16000 + EIO);
        StopDemo(true);
        return;
    }
    p.script.resize(static_cast<std::size_t>(n));
    in.read(reinterpret_cast<char*>(p.script.data()), n);
    // A short file plays what it holds; the reader never passes its end.
    p.script.resize(static_cast<std::size_t>(in.gcount()));
    if (startLabel != -1) {
        p.skipping = true;
        p.target = startLabel;
    }
    for (int vk : {win::VK_ESCAPE, win::VK_CONTROL, static_cast<int>('P'), win::VK_PAUSE, win::VK_CANCEL, win::VK_RETURN})
        win::GetAsyncKeyState(vk);
    ResetMouseDragState();
    p.hook = InstallPlaybackHook();
    if (p.hook == nullptr) {
        p.script.clear();
        p.playing = false;
        Settings().demoRunning = false;
    }
}

void StopDemo(bool restore)
{
    DemoPlayerState& p = Player();
    if (p.stopped) return;
    p.stopped = true;
    if (p.messageBoxOpen) CloseDemoMessageBox();
    p.stopFlag = true;
    if (p.hook) win::UnhookWindowsHookEx(p.hook);
    p.hook = nullptr;
    p.script.clear();
    p.readIndex = p.writeIndex = 0;
    ResetMouseDragState();
    if (win::HWND dialog = CurrentDialog()) {
        for (int id : {win::IDCANCEL, 23, win::IDOK})
            if (win::IsWindow(dialog) && CurrentDialog() == dialog) win::SendMessage(dialog, win::WM_COMMAND, static_cast<win::WPARAM>(id), 0);
    }
    EndAnalysisAndPump();
    for (;;) {
        WindowRecord* open = nullptr;
        for (const auto& record : WindowRecords().records)
            if (IsDemoDocumentKind(record->kind) && record->window) open = record.get();
        if (open == nullptr) break;
        CloseQuietly(open);
        if (IsLiveWindowRecord(open) && open->window) break;  // refused: leave it rather than loop
    }
    p.playing = false;
    Settings().demoRunning = false;
    if (restore) {
        if (p.countersSwapped) SwapUntitledCounters(false);
        p.countersSwapped = false;
        RestoreHiddenBars(1);
        if (p.statusShownByDemo && HelpBarOption()) ToggleStatusBar(FrameHelpBar());
        p.statusShownByDemo = false;
        RestoreDocuments();
    }
    // A quit that came during the demo goes on now that the documents are back.
    if (Frame().quitPending && Frame().frame) win::PostMessage(Frame().frame, win::WM_CLOSE, 0, 0);
}

void RequestDemoStop()
{
    DemoPlayerState& p = Player();
    if (!p.playing) return;
    p.stopFlag = true;
    // The box has playback's hands off the input; it is closed for the wind-down to begin.
    if (p.messageBoxOpen) CloseDemoMessageBox();
}

void SetDemoHold(bool hold) { Player().hold = hold; }
bool DemoPlaying() { return Player().playing; }

void SetDemoScriptPathForTests(const std::string& path) { Player().scriptPathForTests = path; }
const std::string& DemoSaveDirectory() { return Player().saveDirectory; }

void ResetDemoPlayerForTests()
{
    DemoPlayerState& p = Player();
    if (p.hook) win::UnhookWindowsHookEx(p.hook);
    RemoveSaveDirectory();
    p = DemoPlayerState{};
}

}  // namespace kq5
