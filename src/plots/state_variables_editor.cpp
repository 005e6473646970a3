#include "plots/state_variables_editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/frame_state.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/device_lists.h"
#include "core/engineering_numbers.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "netlist/inductor_device.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/file_names.h"
#include "document/schematic_item.h"
#include "document/scope_names.h"
#include "document/text_area.h"
#include "platform/control_scrollbar.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window.h"
#include "analog/analysis_run_services.h"
#include "plots/limits_dialog.h"
#include "plots/state_variables_file.h"

namespace kq5 {

namespace {

constexpr int kVoltageLabel = 100, kVoltageEdit = 200, kCurrentLabel = 300, kCurrentEdit = 400;
constexpr int kLevelLabel = 500, kLevelEdit = 600;
constexpr int kClose = 23, kClear = 511, kRead = 512, kWrite = 513, kPrint = 514, kIc = 518;
constexpr int kMsgIcQuestion = 13658;
constexpr int kIcLineWidth = 80;
constexpr std::string_view kLetters = "0RF1XZ?";
constexpr std::uint16_t kStrengthMask = 0x1F8;

struct EditorState {
    win::HWND dialog = nullptr;
    WindowRecord* record = nullptr;
    StateVariableCounts counts;
    int scroll = 0;
    bool changed = false;  // any edit changed a value
    bool committing = false;  // a commit is under way (its error message moves the focus)
};

EditorState& Editor()
{
    static EditorState state;
    return state;
}

WindowRecord* CircuitWindow() { return RunControl().circuitWindow ? RunControl().circuitWindow : CurrentRecord(); }

std::vector<InductorDevice*> Inductors()
{
    std::vector<InductorDevice*> out;
    for (InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) out.push_back(&l);
    return out;
}

// The solution row of inductor k (1-based): its branch, or the row after the nodes.
std::size_t InductorRow(int k)
{
    const auto& tables = AnalogSolver().devices.inductors;
    const std::size_t i = static_cast<std::size_t>(k - 1);
    if (i < tables.size() && tables[i].branch > 0) return static_cast<std::size_t>(tables[i].branch);
    return static_cast<std::size_t>(CurrentStateVariableCounts().analog + k);
}

// The name of an inductor's part as statements name it: inside a subcircuit, with the path of
// its instance (X1.L1), so that the inductors of two instances are told apart.
std::string InductorPartName(const InductorDevice& l)
{
    if (!l.component) return {};
    const std::string name = GetAttributeText(l.component, kAttrPart);
    return name.empty() ? name : QualifyNameWithScope(name, l.component->scope);
}

void SetIn(std::vector<double>& v, std::size_t i, double value)
{
    if (i < v.size()) v[i] = value;
}

double Evaluate(const std::string& text, bool& ok)
{
    int error = 0;
    const double value = EvalNumberOrExpression(text, error);
    ok = error == 0 && std::isfinite(value);
    return value;
}

void FillRows()
{
    EditorState& e = Editor();
    if (!e.dialog) return;
    const bool dc = Analysis().analysisKind == kAnalysisDc;
    for (int r = 0; r < kStateRows; ++r) {
        const int item = e.scroll + r + 1;
        const bool v = item <= e.counts.analog, i = item <= e.counts.inductors, d = item <= e.counts.digital;
        win::SetDlgItemText(e.dialog, kVoltageLabel + r, v ? CopyAnalogNodeName(item).c_str() : "");
        win::SetDlgItemText(e.dialog, kVoltageEdit + r, v ? VoltageText(item).c_str() : "");
        win::EnableWindow(win::GetDlgItem(e.dialog, kVoltageEdit + r), v);
        win::SetDlgItemText(e.dialog, kCurrentLabel + r, i ? InductorName(item).c_str() : "");
        win::SetDlgItemText(e.dialog, kCurrentEdit + r, i ? CurrentText(item).c_str() : "");
        win::EnableWindow(win::GetDlgItem(e.dialog, kCurrentEdit + r), i);
        win::SetDlgItemText(e.dialog, kLevelLabel + r, d ? CopyDigitalNodeName(item).c_str() : "");
        win::SetDlgItemText(e.dialog, kLevelEdit + r, d ? LevelText(item).c_str() : "");
        const int highest = static_cast<int>(DigitalSimulator().current.size()) - 1;
        win::EnableWindow(win::GetDlgItem(e.dialog, kLevelEdit + r), item <= highest);
        for (int id : {kVoltageEdit + r, kCurrentEdit + r, kLevelEdit + r})
            win::SendDlgItemMessage(e.dialog, id, win::EM_SETREADONLY, dc ? 1 : 0, 0);
    }
}

void Commit(int id)
{
    EditorState& e = Editor();
    // Nothing to commit once the editor is closing (the focused edit loses the focus as it is
    // destroyed, when its text can no longer be read), nor while a commit is under way: the
    // message box of a value that does not evaluate takes the focus from the edit again while
    // its text is still the bad one, and must not report it once more, and so on without end.
    if (!e.dialog || e.committing) return;
    e.committing = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{e.committing};
    const std::string text = win::GetDlgItemText(e.dialog, id);  // the whole text, however long
    const int item = e.scroll + (id % 100) + 1;
    if (id >= kVoltageEdit && id < kVoltageEdit + kStateRows && item <= e.counts.analog) {
        if (CommitVoltageText(item, text)) e.changed = true;
        win::SetDlgItemText(e.dialog, id, VoltageText(item).c_str());
    } else if (id >= kCurrentEdit && id < kCurrentEdit + kStateRows && item <= e.counts.inductors) {
        if (CommitCurrentText(item, text)) e.changed = true;
        win::SetDlgItemText(e.dialog, id, CurrentText(item).c_str());
    } else if (id >= kLevelEdit && id < kLevelEdit + kStateRows && item <= e.counts.digital) {
        if (CommitLevelText(item, text)) e.changed = true;
        win::SetDlgItemText(e.dialog, id, LevelText(item).c_str());
    }
}

void Layout(win::HWND dialog)
{
    EditorState& e = Editor();
    const int rows = e.counts.Rows();
    win::HWND bar = win::GetDlgItem(dialog, kStateScrollBar);
    if (rows >= kStateRows) {
        win::SetScrollRange(bar, win::SB_CTL, 0, std::max(rows - kStateRows, 0), 0);
        win::SetScrollPos(bar, win::SB_CTL, 0, 1);
        return;
    }
    // Fewer rows than lines: the unused lines go and the dialog shrinks by their pitch.
    win::RECT first{}, second{};
    win::GetWindowRect(win::GetDlgItem(dialog, kVoltageEdit), &first);
    win::GetWindowRect(win::GetDlgItem(dialog, kVoltageEdit + 1), &second);
    const int pitch = second.top - first.top;
    const int shrink = (kStateRows - rows) * pitch;
    for (int r = rows; r < kStateRows; ++r)
        for (int base : {kVoltageLabel, kVoltageEdit, kCurrentLabel, kCurrentEdit, kLevelLabel, kLevelEdit})
            win::ShowWindow(win::GetDlgItem(dialog, base + r), win::SW_HIDE);
    win::ShowWindow(bar, win::SW_HIDE);
    for (int id : {kClose, kClear, kRead, kWrite, kPrint, kIc, 9}) {
        win::HWND button = win::GetDlgItem(dialog, id);
        win::RECT r{};
        win::GetWindowRect(button, &r);
        win::POINT p{r.left, r.top};
        win::ScreenToClient(dialog, &p);
        win::SetWindowPos(button, nullptr, p.x, p.y - shrink, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
    }
    win::RECT frame{};
    win::GetWindowRect(dialog, &frame);
    win::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top - shrink,
                      win::SWP_NOMOVE | win::SWP_NOZORDER);
}

void Report(int rc)
{
    if (rc != 0 && rc != kMsgAlreadyReported) ReportMessage("WE", Editor().record, rc);
}

win::INT_PTR StateVariablesDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    EditorState& e = Editor();
    switch (msg) {
    case win::WM_INITDIALOG: {
        e.dialog = dialog;
        e.record = NewWindowRecord(dialog, kWindowStateVariables);
        Layout(dialog);
        if (Analysis().analysisKind == kAnalysisDc)
            for (int id : {kClear, kRead, kWrite, kIc}) win::EnableWindow(win::GetDlgItem(dialog, id), 0);
        FillRows();
        return win::TRUE;
    }
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        const int code = win::HIWORD(wParam);
        if (id >= kVoltageEdit && id < kLevelEdit + kStateRows && code == win::EN_KILLFOCUS) {
            Commit(id);
            return win::TRUE;
        }
        switch (id) {
        case kClose:
        case win::IDCANCEL: win::PostMessage(dialog, win::WM_CLOSE, 0, 0); return win::TRUE;
        case kClear:
            InitializeRunStates();
            FillRows();
            return win::TRUE;
        case kRead:
            Report(ReadWriteStateVariablesFile(0));
            FillRows();
            return win::TRUE;
        case kWrite: Report(ReadWriteStateVariablesFile(1)); return win::TRUE;
        case kPrint:
            Report(PrintStateVariables());
            win::SetFocus(win::GetDlgItem(dialog, kPrint));
            return win::TRUE;
        case kIc: Report(WriteIcStatements()); return win::TRUE;
        case 9: ShowDialogHelp(kStateVariablesTemplate); return win::TRUE;
        default: return win::FALSE;
        }
    }
    case win::WM_VSCROLL: {
        const int next = RowScrollTarget(win::LOWORD(wParam), static_cast<short>(win::HIWORD(wParam)), e.scroll,
                                         e.counts.Rows() - kStateRows);
        if (next != e.scroll) {
            e.scroll = next;
            win::SetScrollPos(win::GetDlgItem(dialog, kStateScrollBar), win::SB_CTL, next, 1);
            FillRows();
        }
        (void)lParam;
        return win::TRUE;
    }
    case win::WM_ACTIVATE:
        if (win::LOWORD(wParam) != 0) Frame().modelessDialog = dialog;
        return win::FALSE;
    case win::WM_CLOSE: CloseStateVariablesEditor(); return win::TRUE;
    default: return win::FALSE;
    }
}

}  // namespace

int StateVariableCounts::Rows() const { return std::max({analog, inductors, digital}); }

StateVariableCounts CurrentStateVariableCounts()
{
    StateVariableCounts c;
    WindowRecord* circuit = CircuitWindow();
    if (circuit && circuit->document) {
        c.analog = circuit->document->analysisNodeCounts[0];
        c.digital = circuit->document->analysisNodeCounts[1];
    }
    c.inductors = std::max(DeviceList(kInductorDeviceList).count, 0);
    return c;
}

std::string VoltageText(int node)
{
    const auto& x = Analysis().solution.real;
    const std::size_t i = static_cast<std::size_t>(node);
    return StrPrintf("%+.5e", i < x.size() ? x[i] : 0.0);
}

std::string CurrentText(int inductor)
{
    const auto& x = Analysis().solution.real;
    const std::size_t i = InductorRow(inductor);
    return StrPrintf("%+.5e", i < x.size() ? x[i] : 0.0);
}

std::string LevelText(int node)
{
    const auto& states = DigitalSimulator().current;
    const std::size_t i = static_cast<std::size_t>(node);
    if (i >= states.size()) return {};
    const std::uint16_t s = states[i];
    const char letter = (s & kStrengthMask) == 0 ? 'Z' : kLetters[std::min<std::size_t>(s & 7, kLetters.size() - 1)];
    return std::string(1, letter);
}

std::string InductorName(int inductor)
{
    const std::vector<InductorDevice*> all = Inductors();
    if (inductor < 1 || inductor > static_cast<int>(all.size())) return {};
    const InductorDevice& l = *all[static_cast<std::size_t>(inductor - 1)];
    if (l.coupling && l.coupling->component) {
        const SchematicItem* coupling = l.coupling->component;
        const std::string name = GetAttributeText(coupling, kAttrPart);
        return QualifyNameWithScope(name + (l.coupling->first == &l ? ".LP" : ".LS"), coupling->scope);
    }
    return InductorPartName(l);
}

int CommitVoltageText(int node, const std::string& text)
{
    bool ok = false;
    const double value = Evaluate(text, ok);
    const std::size_t i = static_cast<std::size_t>(node);
    auto& x = Analysis().solution.real;
    if (!ok || i >= x.size()) return 0;
    const bool changed = x[i] != value;
    AnalogSolverState& s = AnalogSolver();
    SetIn(x, i, value);
    SetIn(s.savedSolution, i, value);
    SetIn(s.olderSolution, i, value);
    return changed ? 1 : 0;
}

int CommitCurrentText(int inductor, const std::string& text)
{
    bool ok = false;
    const double value = Evaluate(text, ok);
    const std::size_t i = InductorRow(inductor);
    auto& x = Analysis().solution.real;
    if (!ok || i >= x.size()) return 0;
    const bool changed = x[i] != value;
    SetIn(x, i, value);
    SetIn(AnalogSolver().savedSolution, i, value);
    return changed ? 1 : 0;
}

int CommitLevelText(int node, const std::string& text)
{
    if (text.empty()) return 0;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    const std::size_t level = kLetters.find(c);
    DigitalSimulatorState& d = DigitalSimulator();
    const std::size_t i = static_cast<std::size_t>(node);
    if (level == std::string_view::npos || i >= d.current.size()) return 0;
    const std::uint16_t word = static_cast<std::uint16_t>((d.current[i] & kStrengthMask) | level);
    const bool changed = i < d.previous.size() && d.previous[i] != word;
    for (std::vector<std::uint16_t>* v : {&d.current, &d.previous, &d.scheduled})
        if (i < v->size()) (*v)[i] = word;
    return changed ? 1 : 0;
}

std::string BuildIcStatements(int width)
{
    const StateVariableCounts c = CurrentStateVariableCounts();
    std::string out;
    auto statement = [&](const std::vector<std::string>& items) {
        if (items.empty()) return;
        std::string line = ".IC";
        int length = 3;
        for (const std::string& item : items) {
            if (length + static_cast<int>(item.size()) > width) {
                line += "\r\n+ ";
                length = 2;
            }
            line += item;
            length += static_cast<int>(item.size());
        }
        out += line + "\r\n";
    };
    std::vector<std::string> items;
    for (int n = 1; n <= c.analog; ++n) {
        const std::string name = CopyAnalogNodeName(n);
        if (!name.empty()) items.push_back(StrPrintf(" V(%s)=%g", name.c_str(), std::stod(VoltageText(n))));
    }
    statement(items);
    items.clear();
    for (int n = 1; n <= c.digital; ++n) {
        const std::string name = CopyDigitalNodeName(n), level = LevelText(n);
        if (!name.empty() && !level.empty()) items.push_back(StrPrintf(" D(%s)=%c", name.c_str(), level[0]));
    }
    statement(items);
    items.clear();
    const std::vector<InductorDevice*> all = Inductors();
    for (int k = 1; k <= static_cast<int>(all.size()); ++k) {
        const std::string name = InductorPartName(*all[static_cast<std::size_t>(k - 1)]);
        if (!name.empty()) items.push_back(StrPrintf(" I(%s)=%g", name.c_str(), std::stod(CurrentText(k))));
    }
    statement(items);
    return out;
}

int WriteIcStatements()
{
    WindowRecord* circuit = CircuitWindow();
    if (!circuit) return 0;
    if (win::MessageBox(Editor().dialog, LoadResString(kMsgIcQuestion).c_str(), ".IC", win::MB_YESNO) != win::IDYES) return 0;
    std::string text = CopyTextAreaText(circuit).value_or(circuit->textArea);
    // A text circuit is read up to its .END: the statements go before it.
    const std::size_t at = circuit->kind == kWindowTextCircuit ? TextInsertPoint(text) : text.size();
    std::string statements = BuildIcStatements(kIcLineWidth);
    if (at > 0 && text[at - 1] != '\n') statements.insert(0, "\r\n");
    text.insert(at, statements);
    if (int rc = SetTextAreaText(circuit, text)) return rc;
    MarkModified(circuit);
    SetRedrawFlags(circuit);
    return 0;
}

int PrintStateVariables()
{
    WindowRecord* circuit = CircuitWindow();
    const std::string title = circuit ? GetRecordTitle(circuit) : std::string();
    if (title.empty()) return 15038;
    std::string path = title;
    ReplaceExtension(path, "SVV");
    const int unit = FindFreeUnit();
    if (unit < 0) return 15002;
    if (int rc = CreateReplacingUnit(path, unit)) return rc;
    const StateVariableCounts c = CurrentStateVariableCounts();
    const int kind = std::clamp(static_cast<int>(Analysis().analysisKind), 0, 2);
    WriteOutputBanner(unit);
    UnitPrintIndented(unit, "%s of %s", LoadResString(kMsgAnalysisNameBase + kind).c_str(), StripDirectory(title).c_str());
    WriteDateStampLine(unit);
    UnitPrintf(unit, "\n");
    std::size_t wn = 13, wi = 8, wd = 8;
    for (int n = 1; n <= c.analog; ++n) wn = std::max(wn, CopyAnalogNodeName(n).size());
    for (int k = 1; k <= c.inductors; ++k) wi = std::max(wi, InductorName(k).size());
    for (int n = 1; n <= c.digital; ++n) wd = std::max(wd, CopyDigitalNodeName(n).size());
    const int a = static_cast<int>(std::min<std::size_t>(wn, 30)), b = static_cast<int>(std::min<std::size_t>(wi, 30)),
              d = static_cast<int>(std::min<std::size_t>(wd, 30));
    std::string heading = " ";
    if (c.analog) heading += StrPrintf("%*s", a + 14, "Node Voltages");
    if (c.inductors) heading += StrPrintf("%*s", b + 17, "Inductor Currents");
    if (c.digital) heading += StrPrintf("%*s", d + 5, "Node Levels");
    UnitPrintf(unit, "%s\n\n", heading.c_str());
    for (int r = 1; r <= c.Rows(); ++r) {
        std::string line = " ";
        const bool v = r <= c.analog, i = r <= c.inductors, l = r <= c.digital;
        line += StrPrintf("%-*.*s ", a, a, v ? CopyAnalogNodeName(r).c_str() : "");
        line += StrPrintf("%-13s", v ? VoltageText(r).c_str() : "");
        line += StrPrintf("   %-*.*s ", b, b, i ? InductorName(r).c_str() : "");
        line += StrPrintf("%-13s", i ? CurrentText(r).c_str() : "");
        line += StrPrintf("   %-*.*s ", d, d, l ? CopyDigitalNodeName(r).c_str() : "");
        line += l ? LevelText(r) : std::string();
        UnitPrintf(unit, "%s\n", line.c_str());
    }
    // A failed write is reported as the unit closes; the text window shows what was written.
    CloseUnitAndShowText(unit);
    return 0;
}

int OpenStateVariablesEditor()
{
    EditorState& e = Editor();
    if (e.dialog) {
        win::SetActiveWindow(e.dialog);
        return 0;
    }
    e = EditorState{};
    e.counts = CurrentStateVariableCounts();
    e.dialog = win::CreateDialogParam(win::GetModuleHandle(nullptr), kStateVariablesTemplate, AppFrameWindow(),
                                      StateVariablesDlgProc, 0);
    return 0;
}

win::HWND StateVariablesEditor() { return Editor().dialog; }

void CloseStateVariablesEditor()
{
    EditorState& e = Editor();
    if (!e.dialog) return;
    win::HWND dialog = e.dialog;
    e.dialog = nullptr;
    if (Frame().modelessDialog == dialog) Frame().modelessDialog = nullptr;
    if (win::IsWindow(dialog)) win::DestroyWindow(dialog);
    // The record may already be gone with every other (the program's records freed at its end).
    if (e.record && IsLiveWindowRecord(e.record)) FreeWindowRecord(e.record);
    e = EditorState{};
}

void RefreshStateVariablesEditor()
{
    if (Editor().dialog) FillRows();
}

}  // namespace kq5
