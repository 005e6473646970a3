#include "plots/limits_dialog.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/analysis_state.h"
#include "analog/batch_run.h"
#include "analog/run_control.h"
#include "ui/app_state.h"
#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/frame_state.h"
#include "ui/preference_values.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/expr_symbols.h"
#include "ui/help_bar.h"
#include "core/format.h"
#include "document/circuit_document.h"
#include "platform/control_scrollbar.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_objects.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/region.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "analog/analysis_run_services.h"
#include "document/default_limits_rows.h"
#include "results/limits_row.h"
#include "document/limits_rows.h"
#include "results/plot_record_flags.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr int kCaptionFirst = 17140;
constexpr int kCmdRunAnalysis = 16059;
constexpr int kCmdStepping = 17150;
// What the dialog's own accelerators send it: the arrows and the two combos' mnemonics.
constexpr int kCmdArrowUp = 762;
constexpr int kCmdArrowDown = 763;
constexpr int kCmdFocusRunOptions = 17130;
constexpr int kCmdFocusStateVariables = 17131;
constexpr int kStripButtonWidth = 15;  // pixels of one button of the row strip
constexpr int kFieldCounts[3] = {4, 6, 7};
constexpr int kWaveformColorFirst = 16;  // "Waveform 1" among the default attributes
constexpr win::WORD kRowPopupNotification = 0x700;
constexpr int kFunctionFirstItem = 3400;
constexpr int kPopupFirstItem = 3500;
constexpr int kPopupListLimit = 20;
constexpr int kColorPopupFirst = 19800;
constexpr int kColorPopupEntries = 64;
constexpr int kHelpRowColumnFirst = 19500;
constexpr int kHelpStripFirst = 19550;
constexpr int kHelpMonteCarloButton = 19555;
constexpr int kHelpFieldFirst = 19420;  // + 10 x analysis kind + field
constexpr int kHelpHelpButton = 18009;
constexpr int kHelpAddButton = 17112;
constexpr int kHelpDeleteButton = 17113;
constexpr int kNodeNameShown = 90;

struct LimitsDialogState {
    win::HWND dialog = nullptr;
    WindowRecord* record = nullptr;  // the dialog's own, by which the message loop picks its keys
    WindowRecord* circuit = nullptr;
    int kind = 0;
    int lines = 0;   // row lines shown
    int scroll = 0;  // first row shown
    int rowTop = 0;  // pixel top of the first line
    int rowPitch = 0;
    int stripLeft = 0;
    int focusedLine = -1;  // line of the row edit that had the focus last
    HelpBar bar;           // along the bottom edge while the Help Bar option is on
};

LimitsDialogState& State()
{
    static LimitsDialogState state;
    return state;
}

std::vector<LimitsRow>* Rows()
{
    LimitsDialogState& s = State();
    if (!s.circuit || !s.circuit->document) return nullptr;
    return &s.circuit->document->limitsRows[static_cast<std::size_t>(s.kind)];
}

std::string* FieldText(int field)
{
    LimitsDialogState& s = State();
    if (!s.circuit || !s.circuit->document) return nullptr;
    AnalysisLimits& l = s.circuit->document->limits;
    switch (s.kind) {
    case kAnalysisTransient: return field < kTransientLimitCount ? &l.transient[static_cast<std::size_t>(field)] : nullptr;
    case kAnalysisAc: return field < kAcLimitCount ? &l.ac[static_cast<std::size_t>(field)] : nullptr;
    default: return field < kDcLimitCount ? &l.dc[static_cast<std::size_t>(field)] : nullptr;
    }
}

std::int32_t* OptionsWord()
{
    LimitsDialogState& s = State();
    if (!s.circuit || !s.circuit->plot) return nullptr;
    return &PlotViewOf(s.circuit->plot).optionWord[static_cast<std::size_t>(s.kind)];
}

int StripButtons() { return State().kind == kAnalysisTransient ? 5 : 4; }

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string& RowText(LimitsRow& row, int column, std::string& plotGroup)
{
    switch (column) {
    case 1: return row.xExpression;
    case 2: return row.yExpression;
    case 3: return row.xRange;
    case 4: return row.yRange;
    case 5: return row.yValueFormat;
    default: return plotGroup;
    }
}

int RowEditId(int line, int column) { return kLimitsRowBase + 100 * line + column; }

void MarkModified()
{
    WindowRecord* circuit = State().circuit;
    NoteLimitsChange(circuit);
    // A text circuit gets what the user changed here written into its analysis lines when the
    // analysis ends; the defaults that fill empty texts as the dialog opens do not count.
    if (circuit && circuit->plot) PlotFlagsOf(circuit->plot).flagWord |= kPlotLimitsEdited;
}

int StripButtonLine(win::HWND dialog, win::HWND button);

// Shows the rows from the scroll position on; lines without a row are hidden.
void FillRowControls()
{
    LimitsDialogState& s = State();
    std::vector<LimitsRow>* rows = Rows();
    if (!s.dialog || !rows) return;
    for (int line = 0; line < s.lines; ++line) {
        const int r = s.scroll + line;
        const bool present = r < static_cast<int>(rows->size());
        for (int c = 0; c < kLimitsColumns; ++c) {
            win::HWND edit = win::GetDlgItem(s.dialog, RowEditId(line, c));
            if (!edit) continue;
            win::ShowWindow(edit, present ? win::SW_SHOW : win::SW_HIDE);
            if (!present) continue;
            LimitsRow& row = (*rows)[static_cast<std::size_t>(r)];
            std::string group = row.plotGroup ? std::string(1, row.plotGroup) : std::string();
            win::SetWindowText(edit, RowText(row, c, group).c_str());
        }
    }
    // The strip buttons go with their line's edits.
    for (win::HWND child = win::GetWindow(s.dialog, win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT)) {
        const int id = win::GetDlgCtrlID(child);
        if (id < kHelpStripFirst || id >= kHelpStripFirst + StripButtons()) continue;
        const bool present = s.scroll + StripButtonLine(s.dialog, child) < static_cast<int>(rows->size());
        win::ShowWindow(child, present ? win::SW_SHOW : win::SW_HIDE);
    }
    const int maxScroll = std::max(0, static_cast<int>(rows->size()) - s.lines);
    win::HWND bar = win::GetDlgItem(s.dialog, kLimitsScrollBar);
    if (bar) {
        win::SetScrollRange(bar, win::SB_CTL, 0, maxScroll, 0);
        win::SetScrollPos(bar, win::SB_CTL, std::min(s.scroll, maxScroll), 1);
        win::EnableWindow(bar, maxScroll > 0);
    }
    win::InvalidateRect(s.dialog, nullptr, 1);
}

// Stores a row edit's whole text, trimmed, into its row.
void StoreRowEdit(int line, int column)
{
    LimitsDialogState& s = State();
    std::vector<LimitsRow>* rows = Rows();
    const int r = s.scroll + line;
    if (!rows || r < 0 || r >= static_cast<int>(rows->size())) return;
    win::HWND edit = win::GetDlgItem(s.dialog, RowEditId(line, column));
    if (!edit) return;
    const std::string text = Trimmed(win::GetWindowText(edit));
    LimitsRow& row = (*rows)[static_cast<std::size_t>(r)];
    std::string group = row.plotGroup ? std::string(1, row.plotGroup) : std::string();
    std::string& target = RowText(row, column, group);
    if (target != text) {
        target = column == 0 ? text.substr(0, 1) : text;
        if (column == 0) row.plotGroup = target.empty() ? 0 : target[0];
        MarkModified();
    }
    win::SetWindowText(edit, target.c_str());
}

void StoreField(int field)
{
    std::string* text = FieldText(field);
    // The focus leaves the field as the closing dialog is destroyed: with the dialog gone there
    // is nothing to read, and an empty text must not replace the limit.
    win::HWND edit = win::GetDlgItem(State().dialog, kLimitsFieldBase + field);
    if (!text || !edit) return;
    const std::string now = win::GetWindowText(edit);
    if (*text != now) {
        *text = now;
        MarkModified();
        // The runs of other limits make other results: run data saved before is not theirs.
        const LimitsDialogState& s = State();
        if (s.circuit && s.circuit->document && s.kind >= 0 && s.kind < kAnalysisKindCount)
            s.circuit->document->runStale[static_cast<std::size_t>(s.kind)] = 1;
    }
}

// A right button press on a row edit takes the focus and asks the dialog for the column's popup.
win::WNDPROC& OriginalEditProc()
{
    static win::WNDPROC proc = nullptr;
    return proc;
}

void MoveFocusByArrow(win::HWND dialog, int id, int direction);
void MoveFocusByArrowKey(win::HWND dialog, int direction);

win::LRESULT RowEditProc(win::HWND edit, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_KEYDOWN && (wParam == win::VK_UP || wParam == win::VK_DOWN)) {
        MoveFocusByArrow(win::GetParent(edit), win::GetDlgCtrlID(edit), wParam == win::VK_UP ? -1 : 1);
        return 0;
    }
    if (msg == win::WM_GETDLGCODE)
        return win::CallWindowProc(OriginalEditProc(), edit, msg, wParam, lParam) | win::DLGC_WANTARROWS;
    if (msg == win::WM_RBUTTONDOWN && win::GetDlgCtrlID(edit) >= kLimitsRowBase) {
        win::SetFocus(edit);
        win::SendMessage(win::GetParent(edit), win::WM_COMMAND,
                         win::MAKEWPARAM(static_cast<win::WORD>(win::GetDlgCtrlID(edit)), kRowPopupNotification),
                         reinterpret_cast<win::LPARAM>(edit));
        return 0;
    }
    return win::CallWindowProc(OriginalEditProc(), edit, msg, wParam, lParam);
}

// One category of the expression popup: its caption and the texts it inserts.
struct PopupCategory {
    std::string caption;
    std::vector<std::string> entries;
};

std::vector<PopupCategory> ExpressionCategories()
{
    const LimitsDialogState& s = State();
    std::vector<PopupCategory> categories;
    categories.push_back({"&Analysis Variables", {"T", "TIME", "TMIN", "TMAX", "F", "FMIN", "FMAX", "GMIN", "VT", "TEMP", "S"}});
    PopupCategory analog{"Node Voltages", {}}, digital{"Digital States", {}};
    if (s.circuit && s.circuit->document) {
        for (int n = 1; n <= s.circuit->document->analysisNodeCounts[0]; ++n)
            analog.entries.push_back(StrPrintf("v(%.*s)", kNodeNameShown, CopyAnalogNodeName(n).c_str()));
        for (int n = 1; n <= s.circuit->document->analysisNodeCounts[1]; ++n)
            digital.entries.push_back(StrPrintf("d(%.*s)", kNodeNameShown, CopyDigitalNodeName(n).c_str()));
    }
    categories.push_back(std::move(analog));
    categories.push_back(std::move(digital));
    // The device quantities of the circuit's labelled devices, one category per thing measured;
    // the fields and windings are there only in a transient analysis.
    struct DeviceCategory {
        const char* caption;
        std::uint32_t dependsOn;
        bool transientOnly;
    };
    static constexpr DeviceCategory kDeviceCategories[] = {
        {"Device Voltages", 0x1, false}, {"Device Currents", 0x2, false}, {"Resistances", 0x40, true},
        {"Charges", 0x4, true},          {"Capacitances", 0x8, true},     {"Fluxes", 0x10, true},
        {"Inductances", 0x20, true},     {"B Fields", 0x200, true},       {"H Fields", 0x400, true},
    };
    for (const DeviceCategory& d : kDeviceCategories) {
        if (d.transientOnly && s.kind != kAnalysisTransient) continue;
        PopupCategory category{d.caption, {}};
        for (ExpressionSymbolEntry& e : ExpressionSymbolEntries(kClassFunction, d.dependsOn))
            category.entries.push_back(std::move(e.text));
        categories.push_back(std::move(category));
    }
    if (s.kind == kAnalysisAc) categories.push_back({"NOISE", {"INOISE", "ONOISE"}});
    return categories;
}

const PopupCategory kConstants{"&Constant", {"J", "PI", "TRUE", "FALSE"}};

// The range popup: "Auto", then the ranges the other rows use.
std::vector<std::string> RangeChoices(int column, int row)
{
    std::vector<std::string> choices = {"Auto"};
    std::vector<LimitsRow>* rows = Rows();
    if (!rows) return choices;
    for (int r = 0; r < static_cast<int>(rows->size()); ++r) {
        if (r == row) continue;
        const std::string& text = column == 3 ? (*rows)[static_cast<std::size_t>(r)].xRange : (*rows)[static_cast<std::size_t>(r)].yRange;
        if (!text.empty() && std::find(choices.begin(), choices.end(), text) == choices.end()) choices.push_back(text);
    }
    return choices;
}

// The functions of the expression popup by kind; their menu ids run from 3400 in this order.
struct FunctionGroup {
    const char* caption;
    std::vector<const char*> names;
};
const std::vector<FunctionGroup> kFunctionGroups = {
    {"&Complex", {"DB", "RE", "IMG", "M", "P", "GD", "CONJ"}},
    {"&DSP", {"FFT", "HARM", "IFT", "THD", "CS", "CC", "AS", "AC", "COH"}},
    {"Ca&lculus", {"DEL", "SUM", "AVG", "RMS", "DDT", "SDT"}},
    {"&Miscellaneous", {"ABS", "PWRS", "PWR", "POW", "STP", "SGN", "SQRT", "MIN", "MAX", "IF", "LIMIT", "TABLE"}},
    {"&Transcendental", {"SIN", "COS", "TAN", "SINH", "COSH", "TANH", "COTH", "ASIN", "ACOS", "ATAN", "ATAN2", "ARCTAN",
                         "ASINH", "ACOSH", "ATANH", "LN", "LOG", "EXP"}},
};

std::string FunctionNameOf(int id)
{
    int k = id - kFunctionFirstItem;
    for (const FunctionGroup& group : kFunctionGroups) {
        if (k < static_cast<int>(group.names.size())) return k >= 0 ? group.names[static_cast<std::size_t>(k)] : "";
        k -= static_cast<int>(group.names.size());
    }
    return {};
}

// A menu shows "&" doubled; the expression takes it once.
std::string OperatorText(const std::string& shown)
{
    std::string text;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        text += shown[i];
        if (shown[i] == '&' && i + 1 < shown.size() && shown[i + 1] == '&') ++i;
    }
    return text;
}

std::string WrapInFunction(const std::string& name, const std::string& text, int row)
{
    if (name.empty()) return {};
    if (name == "SUM") {
        const std::vector<LimitsRow>* rows = Rows();
        const std::string x = rows && row >= 0 && row < static_cast<int>(rows->size())
                                  ? (*rows)[static_cast<std::size_t>(row)].xExpression
                                  : std::string();
        return StrPrintf("%s(%s,%s)", name.c_str(), text.c_str(), x.c_str());
    }
    if (name == "CMUL" || name == "POW" || name == "PWR" || name == "PWRS")
        return StrPrintf("%s(%s,?)", name.c_str(), text.c_str());
    if (name == "CS" || name == "COH") return StrPrintf("%s(%s,f)", name.c_str(), text.c_str());
    if (name == "CC") return StrPrintf("%s(%s,t)", name.c_str(), text.c_str());
    return StrPrintf("%s(%s)", name.c_str(), text.c_str());
}

// The popup of a text of row `row`: for an expression (column 1 or 2) the expression menu, with
// "&Expand..." when `expand` is set; for a range column "Auto" and the other rows' ranges. The
// choice goes into the edit. 1 when the edit's text changed, 2 when Expand was chosen, else 0.
int TrackTextPopup(win::HWND owner, win::HWND edit, int column, int row, bool expand)
{
    win::HMENU menu = win::CreatePopupMenu();
    std::vector<std::string> texts;  // by command id - kPopupFirstItem
    std::vector<std::vector<std::string>> lists;  // the long categories, picked from a list
    auto item = [&](win::HMENU into, const std::string& text) {
        win::AppendMenu(into, win::MF_STRING, static_cast<win::UINT_PTR>(kPopupFirstItem + texts.size()), text.c_str());
        texts.push_back(text);
    };
    if (column <= 2) {
        if (expand) win::AppendMenu(menu, win::MF_STRING, static_cast<win::UINT_PTR>(kLimitsExpand), "&Expand...");
        win::HMENU variables = win::CreatePopupMenu();
        for (const PopupCategory& c : ExpressionCategories()) {
            if (c.entries.empty()) continue;
            if (c.entries.size() > kPopupListLimit) {
                const int listId = -static_cast<int>(lists.size()) - 1;
                lists.push_back(c.entries);
                win::AppendMenu(variables, win::MF_STRING, static_cast<win::UINT_PTR>(kPopupFirstItem + texts.size()),
                                (c.caption + "...").c_str());
                texts.push_back(std::to_string(listId));
                continue;
            }
            win::HMENU sub = win::CreatePopupMenu();
            for (const std::string& e : c.entries) item(sub, e);
            win::AppendMenu(variables, win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(sub), c.caption.c_str());
        }
        win::AppendMenu(menu, win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(variables), "Variables");
        win::HMENU constants = win::CreatePopupMenu();
        for (const std::string& e : kConstants.entries) item(constants, e);
        win::AppendMenu(menu, win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(constants), kConstants.caption.c_str());
        win::HMENU functions = win::CreatePopupMenu();
        int functionId = kFunctionFirstItem;
        for (const FunctionGroup& group : kFunctionGroups) {
            win::HMENU sub = win::CreatePopupMenu();
            for (const char* name : group.names)
                win::AppendMenu(sub, win::MF_STRING, static_cast<win::UINT_PTR>(functionId++), name);
            win::AppendMenu(functions, win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(sub), group.caption);
        }
        win::AppendMenu(menu, win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(functions), "&Functions");
        win::HMENU operators = win::CreatePopupMenu();
        for (const ExpressionSymbolEntry& e : ExpressionOperatorEntries()) {
            win::AppendMenu(operators, win::MF_STRING | (e.newColumn ? win::MF_MENUBARBREAK : 0u),
                            static_cast<win::UINT_PTR>(kPopupFirstItem + texts.size()), e.text.c_str());
            texts.push_back(OperatorText(e.text));
        }
        win::AppendMenu(menu, win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(operators), "&Operators");
    } else {
        for (const std::string& r : RangeChoices(column, row)) item(menu, r);
    }
    win::RECT r{};
    win::GetWindowRect(edit, &r);
    const int chosen = static_cast<int>(
        win::TrackPopupMenu(menu, win::TPM_RETURNCMD, r.left, r.bottom, 0, owner, nullptr));
    win::DestroyMenu(menu);
    if (chosen == kLimitsExpand) return 2;
    if (column <= 2 && chosen >= kFunctionFirstItem && chosen < kPopupFirstItem) {
        const std::string wrapped = WrapInFunction(FunctionNameOf(chosen), win::GetWindowText(edit), row);
        if (wrapped.empty()) return 0;
        win::SetWindowText(edit, wrapped.c_str());
        return 1;
    }
    const int index = chosen - kPopupFirstItem;
    if (index < 0 || index >= static_cast<int>(texts.size())) return 0;
    std::string text = texts[static_cast<std::size_t>(index)];
    if (column <= 2 && !text.empty() && text[0] == '-') {
        ListSelectDesc pick;
        pick.items = lists[static_cast<std::size_t>(-std::stoi(text) - 1)];
        if (RunListSelectDialog(pick) != win::IDOK || pick.selection.empty()) return 0;
        text = pick.items[static_cast<std::size_t>(pick.selection.front())];
        text = text.substr(0, text.find(' '));
    }
    if (column <= 2)
        win::SendMessage(edit, win::EM_REPLACESEL, 1, reinterpret_cast<win::LPARAM>(text.c_str()));
    else
        win::SetWindowText(edit, text.c_str());
    return 1;
}

void ShowRowPopup(win::HWND dialog, int id)
{
    const int line = (id - kLimitsRowBase) / 100, column = (id - kLimitsRowBase) % 100;
    win::HWND edit = win::GetDlgItem(dialog, id);
    if (!edit || column == 0 || column == 5) return;
    const int result = TrackTextPopup(dialog, edit, column, State().scroll + line, true);
    if (result == 2) win::SendMessage(dialog, win::WM_COMMAND, kLimitsExpand, 0);
    else if (result == 1) StoreRowEdit(line, column);
}

int BarHeight() { return State().bar.window ? State().bar.lines * HelpBarLineHeight() : 0; }

// The help bar takes the bottom of the dialog; the row scroll bar ends above it.
void CreateHelpBar(win::HWND dialog)
{
    LimitsDialogState& s = State();
    if (!HelpBarOption() || !CreateStatusBar(dialog, s.bar)) return;
    win::RECT client{};
    win::GetClientRect(dialog, &client);
    PositionStatusBar(s.bar, client.right, client.bottom);
    if (win::HWND scroll = win::GetDlgItem(dialog, kLimitsScrollBar)) {
        win::RECT r{};
        win::GetWindowRect(scroll, &r);
        win::POINT topLeft{r.left, r.top};
        win::ScreenToClient(dialog, &topLeft);
        const int height = std::min<int>(r.bottom - r.top, client.bottom - BarHeight() - topLeft.y);
        win::MoveWindow(scroll, topLeft.x, topLeft.y, r.right - r.left, std::max(height, 0), win::TRUE);
    }
}

// The help text of what the pointer is over: a row edit by its column, a strip button (or the
// place after the strip, kept for Monte Carlo), a field edit (whose ids have no text), Help, Add,
// Delete, or any other control by its own id.
int LimitsHelpId(win::HWND dialog, win::HWND over)
{
    const LimitsDialogState& s = State();
    if (over == dialog) {
        win::POINT point{};
        win::GetCursorPos(&point);
        win::ScreenToClient(dialog, &point);
        if (s.rowPitch <= 0 || point.y < s.rowTop || point.y >= s.rowTop + s.lines * s.rowPitch) return 0;
        const int button = (point.x - s.stripLeft) / kStripButtonWidth;
        if (point.x < s.stripLeft || button > StripButtons()) return 0;
        return button == StripButtons() ? kHelpMonteCarloButton : kHelpStripFirst + button;
    }
    const int id = win::GetDlgCtrlID(over);
    if (id >= kLimitsRowBase && id < kLimitsRowBase + 100 * kLimitsMaxLines) return kHelpRowColumnFirst + (id - kLimitsRowBase) % 100;
    if (id >= kLimitsFieldBase && id < kLimitsFieldBase + 7) return kHelpFieldFirst + 10 * s.kind + (id - kLimitsFieldBase);
    if (id == 9) return kHelpHelpButton;
    if (id == kLimitsAdd) return kHelpAddButton;
    if (id == kLimitsDelete) return kHelpDeleteButton;
    return id;
}

win::RECT StripButtonRect(int line, int button);

// Each line's strip buttons are controls carrying the ids of their help texts (X, Y, colour,
// numeric output, user file), line after line, so that the first line's come first by id.
void CreateStripButtons(win::HWND dialog)
{
    const LimitsDialogState& s = State();
    for (int line = 0; line < s.lines; ++line)
        for (int b = 0; b < StripButtons(); ++b) {
            const win::RECT r = StripButtonRect(line, b);
            win::CreateWindowEx(0, "BUTTON", "", win::WS_CHILD | win::WS_VISIBLE | win::BS_OWNERDRAW, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, dialog,
                                reinterpret_cast<win::HMENU>(static_cast<win::INT_PTR>(kHelpStripFirst + b)), nullptr, nullptr);
        }
}

// The line of a strip button control, from where it stands.
int StripButtonLine(win::HWND dialog, win::HWND button)
{
    const LimitsDialogState& s = State();
    win::RECT r{};
    win::GetWindowRect(button, &r);
    win::POINT topLeft{r.left, r.top};
    win::ScreenToClient(dialog, &topLeft);
    if (s.rowPitch <= 0 || topLeft.y < s.rowTop) return -1;
    return (topLeft.y - s.rowTop) / s.rowPitch;
}

void CreateRowControls(win::HWND dialog)
{
    LimitsDialogState& s = State();
    win::RECT client{};
    win::GetClientRect(dialog, &client);
    win::RECT caption{};
    win::HWND first = win::GetDlgItem(dialog, kCaptionFirst);
    if (!first) return;
    win::GetWindowRect(first, &caption);
    win::POINT topLeft{caption.left, caption.bottom};
    win::ScreenToClient(dialog, &topLeft);
    const win::HFONT font = reinterpret_cast<win::HFONT>(win::SendMessage(dialog, win::WM_GETFONT, 0, 0));
    const int editHeight = caption.bottom - caption.top + 6;
    s.rowPitch = editHeight + 1;
    s.rowTop = topLeft.y + 2;
    s.stripLeft = topLeft.x - StripButtons() * kStripButtonWidth - 3;
    const int bottom = client.bottom - BarHeight();
    s.lines = std::clamp((bottom - s.rowTop - 4) / std::max(s.rowPitch, 1), 1, kLimitsMaxLines);
    for (int c = 0; c < kLimitsColumns; ++c) {
        win::HWND captionWindow = win::GetDlgItem(dialog, kCaptionFirst + c);
        win::RECT r{};
        win::GetWindowRect(captionWindow, &r);
        win::POINT left{r.left, r.top};
        win::ScreenToClient(dialog, &left);
        const int width = r.right - r.left;
        win::DWORD style = win::WS_CHILD | win::WS_VISIBLE | win::WS_BORDER | win::WS_TABSTOP;
        if (c > 0) style |= win::ES_AUTOHSCROLL;
        for (int line = 0; line < s.lines; ++line) {
            win::HWND edit = win::CreateWindowEx(0, "EDIT", "", style, left.x, s.rowTop + line * s.rowPitch, width,
                                                 editHeight, dialog, reinterpret_cast<win::HMENU>(static_cast<win::INT_PTR>(RowEditId(line, c))),
                                                 nullptr, nullptr);
            if (!edit) continue;
            win::SendMessage(edit, win::WM_SETFONT, reinterpret_cast<win::WPARAM>(font), 0);
            const auto previous = reinterpret_cast<win::WNDPROC>(
                win::SetWindowLongPtr(edit, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&RowEditProc)));
            if (!OriginalEditProc()) OriginalEditProc() = previous;
            if (c == 0) win::SendMessage(edit, win::EM_LIMITTEXT, 1, 0);
            if (c == 5) win::SendMessage(edit, win::EM_LIMITTEXT, 5, 0);
        }
    }
    CreateStripButtons(dialog);
}

win::RECT StripButtonRect(int line, int button)
{
    const LimitsDialogState& s = State();
    const int top = s.rowTop + line * s.rowPitch;
    const int left = s.stripLeft + button * kStripButtonWidth;
    return win::RECT{left, top, left + kStripButtonWidth - 1, top + s.rowPitch - 1};
}

// One strip button: pressed while its flag is set; the colour button shows the row's colour.
void DrawStripButton(win::HDC dc, win::RECT rect, const LimitsRow& row, int b)
{
    const bool pressed = (b == 0 && (row.options & kLimitsLinearX)) || (b == 1 && (row.options & kLimitsLinearY)) ||
                         (b == 3 && (row.options & kLimitsOutput)) || (b == 4 && (row.options & kLimitsUser));
    win::SetBkMode(dc, win::TRANSPARENT);
    win::HBRUSH brush = win::CreateSolidBrush(b == 2 ? PaletteColor(row.color, true)
                                                     : (pressed ? win::RGB(160, 160, 160) : win::RGB(224, 224, 224)));
    win::FillRect(dc, &rect, brush);
    win::DeleteObject(brush);
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    win::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    win::SelectObject(dc, oldBrush);
    static constexpr const char* kOff[] = {"x", "y", "", "n", "u"};
    static constexpr const char* kOn[] = {"X", "Y", "", "N", "U"};
    const char* label = pressed ? kOn[b] : kOff[b];
    if (*label) win::DrawText(dc, label, -1, &rect, win::DT_CENTER | win::DT_VCENTER | win::DT_SINGLELINE);
}

void DrawStripItem(const win::DRAWITEMSTRUCT& item)
{
    LimitsDialogState& s = State();
    std::vector<LimitsRow>* rows = Rows();
    const int line = StripButtonLine(s.dialog, item.hwndItem);
    const int r = s.scroll + line;
    if (!rows || line < 0 || r >= static_cast<int>(rows->size())) return;
    win::HGDIOBJ oldFont = win::SelectObject(item.hDC, reinterpret_cast<win::HGDIOBJ>(win::SendMessage(s.dialog, win::WM_GETFONT, 0, 0)));
    DrawStripButton(item.hDC, item.rcItem, (*rows)[static_cast<std::size_t>(r)], static_cast<int>(item.CtlID) - kHelpStripFirst);
    win::SelectObject(item.hDC, oldFont);
}

// A strip button toggles its flag; the colour button opens the colour popup.
void ToggleStripButton(int line, int button)
{
    LimitsDialogState& s = State();
    std::vector<LimitsRow>* rows = Rows();
    const int r = s.scroll + line;
    if (!rows || line < 0 || button < 0 || button >= StripButtons() || r >= static_cast<int>(rows->size())) return;
    LimitsRow& row = (*rows)[static_cast<std::size_t>(r)];
    static constexpr std::uint16_t kBits[] = {kLimitsLinearX, kLimitsLinearY, 0, kLimitsOutput, kLimitsUser};
    if (button == 2) {
        // The swatch offers the palette at the pointer; leaving the popup keeps the colour.
        win::HMENU menu = CreateColorPopupMenu(kColorPopupFirst);
        win::POINT at{};
        win::GetCursorPos(&at);
        const int chosen = static_cast<int>(win::TrackPopupMenu(menu, win::TPM_RETURNCMD, at.x, at.y, 0, s.dialog, nullptr));
        win::DestroyMenu(menu);
        if (chosen < kColorPopupFirst || chosen >= kColorPopupFirst + kColorPopupEntries) return;
        row.color = static_cast<std::uint16_t>(chosen - kColorPopupFirst);
    } else {
        row.options ^= kBits[button];
    }
    MarkModified();
    win::InvalidateRect(s.dialog, nullptr, 1);
}

void OnStripClick(win::POINT point)
{
    LimitsDialogState& s = State();
    if (s.rowPitch <= 0 || point.y < s.rowTop) return;
    const int line = (point.y - s.rowTop) / s.rowPitch;
    if (line >= s.lines) return;
    ToggleStripButton(line, LimitsStripButtonAt(s.dialog, line, point));
}

// The row of the focused row edit, or of the first visible line.
int FocusedRow()
{
    const LimitsDialogState& s = State();
    return s.scroll + std::max(s.focusedLine, 0);
}

void AddRow()
{
    LimitsDialogState& s = State();
    std::vector<LimitsRow>* rows = Rows();
    if (!rows) return;
    const int before = std::min(FocusedRow(), static_cast<int>(rows->size()) - 1);
    const int index = before + 1;
    LimitsRow row;
    if (before >= 0) {
        const LimitsRow& previous = (*rows)[static_cast<std::size_t>(before)];
        row.options = previous.options & (kLimitsOutput | kLimitsLinearX | kLimitsLinearY);
        row.plotGroup = previous.plotGroup;
        row.xExpression = previous.xExpression;
        row.xRange = previous.xRange;
        row.yRange = previous.yRange;
        row.yValueFormat = previous.yValueFormat;
    }
    row.color = PreferenceSettings().defaultAttributes[static_cast<std::size_t>(kWaveformColorFirst + index % 10)].color;
    row.lineWidth = 1;
    row.linePattern = index % 8;
    if (row.xRange.empty()) row.xRange = "Auto";
    if (row.yRange.empty()) row.yRange = "Auto";
    FillDefaultRowFormats(row);
    try {
        rows->insert(rows->begin() + index, std::move(row));
    } catch (const std::bad_alloc&) {
        return;
    }
    if (index >= s.scroll + s.lines) s.scroll = index - s.lines + 1;
    FillRowControls();
    win::SetFocus(win::GetDlgItem(s.dialog, RowEditId(index - s.scroll, 0)));
    MarkModified();
}

void DeleteRow()
{
    LimitsDialogState& s = State();
    std::vector<LimitsRow>* rows = Rows();
    if (!rows || rows->size() <= 1) return;
    const int index = std::min(FocusedRow(), static_cast<int>(rows->size()) - 1);
    rows->erase(rows->begin() + index);
    if (s.circuit->plot)
        for (auto& curve : s.circuit->plot->curves) {
            if (!curve) continue;
            if (curve->rowIndex == index) curve->rowIndex = -1;
            else if (curve->rowIndex > index) --curve->rowIndex;
        }
    s.scroll = std::clamp(s.scroll, 0, std::max(0, static_cast<int>(rows->size()) - s.lines));
    FillRowControls();
    MarkModified();
}

// The expand editor's edit offers the popup of the row text that it expands.
struct ExpandedText {
    int column = 0;
    int row = 0;
};
ExpandedText& Expanded()
{
    static ExpandedText text;
    return text;
}

win::LRESULT ExpandEditProc(win::HWND edit, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_RBUTTONDOWN) {
        win::SetFocus(edit);
        TrackTextPopup(win::GetParent(edit), edit, Expanded().column, Expanded().row, false);
        return 0;
    }
    return win::CallWindowProc(OriginalEditProc(), edit, msg, wParam, lParam);
}

void ExpandFocusedText()
{
    LimitsDialogState& s = State();
    win::HWND focus = win::GetFocus();
    const int id = focus ? win::GetDlgCtrlID(focus) : 0;
    if (!focus || id < kLimitsFieldBase) return;
    PromptDialogDesc desc;
    desc.templateId = kExpandTemplate;
    desc.caption = "Expand";
    desc.owner = s.circuit;
    desc.text = win::GetWindowText(focus);
    const int column = (id - kLimitsRowBase) % 100;
    if (id >= kLimitsRowBase && column >= 1 && column <= 4) {
        Expanded() = {column, s.scroll + (id - kLimitsRowBase) / 100};
        desc.onInit = [](win::HWND dialog) {
            win::HWND edit = win::GetDlgItem(dialog, kPromptFirstField);
            if (!edit || !OriginalEditProc()) return;
            win::SetWindowLongPtr(edit, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&ExpandEditProc));
        };
    }
    if (RunPromptDialog(desc) != 1) return;
    win::SetWindowText(focus, desc.text.c_str());
    if (id >= kLimitsRowBase) StoreRowEdit((id - kLimitsRowBase) / 100, (id - kLimitsRowBase) % 100);
    else StoreField(id - kLimitsFieldBase);
}

void SetOptionBits(std::uint32_t mask, int shift, std::uint32_t value)
{
    std::int32_t* word = OptionsWord();
    if (!word) return;
    std::uint32_t w = static_cast<std::uint32_t>(*word);
    w = (w & ~mask) | ((value << shift) & mask);
    *word = static_cast<std::int32_t>(w);
}

void InitOptionControls(win::HWND dialog)
{
    const std::int32_t* word = OptionsWord();
    const std::uint32_t w = word ? static_cast<std::uint32_t>(*word) : 0;
    const struct {
        int id;
        std::vector<const char*> texts;
        int shift;
    } combos[] = {{kLimitsRunOptions, {"Normal", "Save", "Retrieve"}, 8},
                  {kLimitsStateVariables, {"Zero", "Read", "Leave"}, 10},
                  {kLimitsFrequencyStep, {"Auto", "Fixed Linear", "Fixed Log"}, 12}};
    for (const auto& c : combos) {
        win::HWND combo = win::GetDlgItem(dialog, c.id);
        if (!combo) continue;
        for (const char* t : c.texts) win::SendMessage(combo, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(t));
        win::SendMessage(combo, win::CB_SETCURSEL, (w >> c.shift) & 3, 0);
    }
    win::CheckDlgButton(dialog, kLimitsOperatingPoint, (w & 0x40) ? win::BST_CHECKED : win::BST_UNCHECKED);
    win::CheckDlgButton(dialog, kLimitsOperatingPointOnly, (w & 0x80) ? win::BST_CHECKED : win::BST_UNCHECKED);
    win::CheckDlgButton(dialog, kLimitsAutoScale, (w & 0x8000) ? win::BST_CHECKED : win::BST_UNCHECKED);
}

void OnCommand(win::HWND dialog, int id, int code, win::HWND control)
{
    LimitsDialogState& s = State();
    // The dialog's accelerators (notification 1); their ids lie among the row edits' numbers.
    if (code == 1) {
        switch (id) {
        case kCmdArrowUp:
        case kCmdArrowDown: MoveFocusByArrowKey(dialog, id == kCmdArrowUp ? -1 : 1); return;
        case kCmdFocusRunOptions: win::SetFocus(win::GetDlgItem(dialog, kLimitsRunOptions)); return;
        case kCmdFocusStateVariables: win::SetFocus(win::GetDlgItem(dialog, kLimitsStateVariables)); return;
        default: break;
        }
    }
    if (id >= kLimitsRowBase && id < kLimitsRowBase + 100 * kLimitsMaxLines) {
        const int line = (id - kLimitsRowBase) / 100, column = (id - kLimitsRowBase) % 100;
        if (code == win::EN_SETFOCUS) s.focusedLine = line;
        if (code == kRowPopupNotification) ShowRowPopup(dialog, id);
        if (code == win::EN_KILLFOCUS) StoreRowEdit(line, column);
        return;
    }
    if (id >= kLimitsFieldBase && id < kLimitsFieldBase + 7) {
        if (code == win::EN_KILLFOCUS) StoreField(id - kLimitsFieldBase);
        return;
    }
    if (id >= kHelpStripFirst && id < kHelpStripFirst + StripButtons()) {
        if (code == win::BN_CLICKED && control) ToggleStripButton(StripButtonLine(dialog, control), id - kHelpStripFirst);
        return;
    }
    switch (id) {
    case kLimitsRun:
        if (!RunControl().running) win::PostMessage(AppFrameWindow(), win::WM_COMMAND, kCmdRunAnalysis, 0);
        return;
    case kLimitsAdd: AddRow(); return;
    case kLimitsDelete: DeleteRow(); return;
    case kLimitsExpand: ExpandFocusedText(); return;
    case kLimitsStepping: win::PostMessage(AppFrameWindow(), win::WM_COMMAND, kCmdStepping, 0); return;
    case 9: ShowDialogHelp(kLimitsTemplateBase + s.kind); return;
    case win::IDCANCEL: win::PostMessage(dialog, win::WM_CLOSE, 0, 0); return;
    case kLimitsRunOptions:
    case kLimitsStateVariables:
    case kLimitsFrequencyStep:
        if (code == win::CBN_SELCHANGE) {
            const int shift = id == kLimitsRunOptions ? 8 : id == kLimitsStateVariables ? 10 : 12;
            const int sel = static_cast<int>(win::SendDlgItemMessage(dialog, id, win::CB_GETCURSEL, 0, 0));
            if (sel >= 0) SetOptionBits(3u << shift, shift, static_cast<std::uint32_t>(sel));
            MarkModified();
        }
        return;
    case kLimitsOperatingPoint:
    case kLimitsOperatingPointOnly:
    case kLimitsAutoScale: {
        const std::uint32_t bit = id == kLimitsOperatingPoint ? 0x40 : id == kLimitsOperatingPointOnly ? 0x80 : 0x8000;
        const bool on = win::IsDlgButtonChecked(dialog, id) == win::BST_CHECKED;
        SetOptionBits(bit, 0, on ? bit : 0);
        MarkModified();
        return;
    }
    default: return;
    }
}

void OnScroll(int code, int position)
{
    LimitsDialogState& s = State();
    std::vector<LimitsRow>* rows = Rows();
    if (!rows) return;
    const int maxScroll = std::max(0, static_cast<int>(rows->size()) - s.lines);
    const int next = RowScrollTarget(code, position, s.scroll, maxScroll);
    if (next == s.scroll) return;
    // Edits keep their text until they lose the focus; store the focused one before it shows
    // another row.
    if (win::HWND focus = win::GetFocus(); focus && win::GetParent(focus) == s.dialog) {
        const int id = win::GetDlgCtrlID(focus);
        if (id >= kLimitsRowBase) StoreRowEdit((id - kLimitsRowBase) / 100, (id - kLimitsRowBase) % 100);
    }
    s.scroll = next;
    FillRowControls();
}

// Up and down arrows: among the fields to the previous or next field, wrapping round; among the
// rows to the same column of the row above or below, scrolling the rows when it is not shown.
void MoveFocusByArrow(win::HWND dialog, int id, int direction)
{
    LimitsDialogState& s = State();
    if (!dialog || dialog != s.dialog) return;
    if (id >= kLimitsFieldBase && id < kLimitsFieldBase + kFieldCounts[s.kind]) {
        const int count = kFieldCounts[s.kind];
        const int next = (id - kLimitsFieldBase + direction + count) % count;
        win::SetFocus(win::GetDlgItem(dialog, kLimitsFieldBase + next));
        return;
    }
    std::vector<LimitsRow>* rows = Rows();
    if (!rows || id < kLimitsRowBase) return;
    const int line = (id - kLimitsRowBase) / 100, column = (id - kLimitsRowBase) % 100;
    const int target = s.scroll + line + direction;
    if (target < 0 || target >= static_cast<int>(rows->size())) return;
    StoreRowEdit(line, column);
    if (target < s.scroll || target >= s.scroll + s.lines) {
        s.scroll = std::clamp(target < s.scroll ? target : target - s.lines + 1, 0,
                              std::max(0, static_cast<int>(rows->size()) - s.lines));
        FillRowControls();
    }
    win::SetFocus(win::GetDlgItem(dialog, RowEditId(target - s.scroll, column)));
}

// The arrows come to the dialog as commands; an edit moves the focus with them, any other
// control (a combo's list) gets its key back.
void MoveFocusByArrowKey(win::HWND dialog, int direction)
{
    win::HWND focus = win::GetFocus();
    if (!focus || win::GetParent(focus) != dialog) return;
    const int id = win::GetDlgCtrlID(focus);
    if ((id >= kLimitsFieldBase && id < kLimitsFieldBase + kFieldCounts[State().kind]) ||
        (id >= kLimitsRowBase && id < kLimitsRowBase + 100 * kLimitsMaxLines))
        MoveFocusByArrow(dialog, id, direction);
    else
        win::SendMessage(focus, win::WM_KEYDOWN, direction < 0 ? win::VK_UP : win::VK_DOWN, 0);
}

// The dialog opens over the documents, at the top left of the MDI client's area, so that the tool
// bars stay in sight; moved left as far as it must to end inside the frame's client area.
void PlaceOverDocuments(win::HWND dialog)
{
    win::HWND documents = Frame().mdiClient;
    win::HWND frame = Frame().frame;
    if (!documents || !frame) return;
    win::POINT origin{0, 0};
    win::ClientToScreen(documents, &origin);
    win::RECT frameArea{};
    win::GetClientRect(frame, &frameArea);
    win::POINT frameOrigin{0, 0};
    win::ClientToScreen(frame, &frameOrigin);
    win::OffsetRect(&frameArea, frameOrigin.x, frameOrigin.y);
    win::RECT r{};
    win::GetWindowRect(dialog, &r);
    const int width = r.right - r.left;
    const int left = std::max<int>(frameArea.left, std::min<int>(origin.x, frameArea.right - width));
    win::SetWindowPos(dialog, nullptr, left, origin.y, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
}

// The text of the focused field or row edit, stored as if it had lost the focus.
void StoreFocusedText()
{
    LimitsDialogState& s = State();
    win::HWND focus = s.dialog ? win::GetFocus() : nullptr;
    // The circuit may be gone already when the dialog closes at the program's end.
    if (!focus || win::GetParent(focus) != s.dialog || !IsLiveWindowRecord(s.circuit)) return;
    // Only what was typed: an edit left as it was filled must not overwrite limits that were
    // set elsewhere since.
    if (!win::SendMessage(focus, win::EM_GETMODIFY, 0, 0)) return;
    win::SendMessage(focus, win::EM_SETMODIFY, 0, 0);
    const int id = win::GetDlgCtrlID(focus);
    if (id >= kLimitsRowBase && id < kLimitsRowBase + 100 * kLimitsMaxLines)
        StoreRowEdit((id - kLimitsRowBase) / 100, (id - kLimitsRowBase) % 100);
    else if (id >= kLimitsFieldBase && id < kLimitsFieldBase + kFieldCounts[s.kind])
        StoreField(id - kLimitsFieldBase);
}

win::INT_PTR AnalysisLimitsDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    LimitsDialogState& s = State();
    switch (msg) {
    case win::WM_INITDIALOG: {
        s.dialog = dialog;
        s.record = NewWindowRecord(dialog, kWindowLimitsDialog);
        Frame().limitsDialog = dialog;
        PlaceOverDocuments(dialog);
        for (int i = 0; i < kFieldCounts[s.kind]; ++i)
            if (const std::string* text = FieldText(i)) win::SetDlgItemText(dialog, kLimitsFieldBase + i, text->c_str());
        InitOptionControls(dialog);
        CreateHelpBar(dialog);
        CreateRowControls(dialog);
        // The field edits take the arrow keys the way the row edits do.
        for (int i = 0; i < kFieldCounts[s.kind]; ++i)
            if (win::HWND field = win::GetDlgItem(dialog, kLimitsFieldBase + i)) {
                const auto previous = reinterpret_cast<win::WNDPROC>(
                    win::SetWindowLongPtr(field, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&RowEditProc)));
                if (!OriginalEditProc()) OriginalEditProc() = previous;
            }
        FillRowControls();
        return win::TRUE;
    }
    case win::WM_COMMAND:
        OnCommand(dialog, win::LOWORD(wParam), win::HIWORD(wParam), reinterpret_cast<win::HWND>(lParam));
        return win::TRUE;
    case win::WM_VSCROLL: OnScroll(win::LOWORD(wParam), static_cast<short>(win::HIWORD(wParam))); return win::TRUE;
    case win::WM_LBUTTONDOWN:
        OnStripClick(win::POINT{static_cast<short>(win::LOWORD(lParam)), static_cast<short>(win::HIWORD(lParam))});
        return win::TRUE;
    case win::WM_MEASUREITEM: return OnColorItemMessage(msg, lParam) ? win::TRUE : win::FALSE;
    case win::WM_DRAWITEM: {
        if (OnColorItemMessage(msg, lParam)) return win::TRUE;
        const auto* item = reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
        if (item && static_cast<int>(item->CtlID) >= kHelpStripFirst && static_cast<int>(item->CtlID) < kHelpStripFirst + 5) {
            DrawStripItem(*item);
            return win::TRUE;
        }
        return win::FALSE;
    }
    case win::WM_ACTIVATE:
        if (win::LOWORD(wParam) != 0) Frame().modelessDialog = dialog;
        return win::FALSE;
    case win::WM_SETCURSOR:
        if (s.bar.window) ShowHelpBarMessage(&s.bar, LimitsHelpId(dialog, reinterpret_cast<win::HWND>(wParam)));
        return win::FALSE;
    case win::WM_CLOSE: CloseAnalysisLimitsDialog(); return win::TRUE;
    default: return win::FALSE;
    }
}

WindowRecord* CircuitWindow() { return RunControl().circuitWindow ? RunControl().circuitWindow : CurrentRecord(); }

}  // namespace

int OpenAnalysisLimitsDialog()
{
    LimitsDialogState& s = State();
    if (RunControl().probeFlag) return 0;
    if (s.dialog) {
        win::SetActiveWindow(s.dialog);
        return 0;
    }
    const int kind = Analysis().analysisKind;
    WindowRecord* circuit = CircuitWindow();
    if (kind < 0 || kind > 2 || !circuit || !circuit->document || BatchRun().flags != 0) return 0;
    FillDefaultLimitsRows(circuit, false, false, false);
    LimitsRowsRefresh() = RefreshLimitsRowControls;
    s = LimitsDialogState{};
    s.circuit = circuit;
    s.kind = kind;
    s.dialog = win::CreateDialogParam(win::GetModuleHandle(nullptr), kLimitsTemplateBase + kind, AppFrameWindow(),
                                      AnalysisLimitsDlgProc, 0);
    return 0;
}

void ShowAnalysisLimitsDialog()
{
    if (State().dialog) win::ShowWindow(State().dialog, win::SW_SHOW);
}

win::HWND AnalysisLimitsDialog() { return State().dialog; }

void CloseAnalysisLimitsDialog()
{
    LimitsDialogState& s = State();
    if (!s.dialog) return;
    // What was typed into the focused edit is kept, as when the focus leaves it.
    StoreFocusedText();
    win::HWND dialog = s.dialog;
    s.dialog = nullptr;
    if (Frame().modelessDialog == dialog) Frame().modelessDialog = nullptr;
    if (Frame().limitsDialog == dialog) Frame().limitsDialog = nullptr;
    DetachHelpBar(s.bar);
    if (win::IsWindow(dialog)) win::DestroyWindow(dialog);
    // The record may already be gone with every other (the program's records freed at its end).
    if (s.record && IsLiveWindowRecord(s.record)) FreeWindowRecord(s.record);
    s = LimitsDialogState{};
}

void RefreshLimitsRowControls() { FillRowControls(); }

void StoreFocusedLimitsText() { StoreFocusedText(); }

void FocusLimitsControl(int what, int index)
{
    LimitsDialogState& s = State();
    if (!s.dialog) return;
    if (what == 1) {
        win::SetFocus(win::GetDlgItem(s.dialog, kLimitsFieldBase + index));
        return;
    }
    std::vector<LimitsRow>* rows = Rows();
    if (what != 2 || !rows || index < 0 || index >= static_cast<int>(rows->size())) return;
    if (index < s.scroll || index >= s.scroll + s.lines) {
        s.scroll = std::clamp(index, 0, std::max(0, static_cast<int>(rows->size()) - s.lines));
        FillRowControls();
    }
    win::SetFocus(win::GetDlgItem(s.dialog, RowEditId(index - s.scroll, 1)));
}

int RowScrollTarget(int code, int thumb, int current, int maxScroll)
{
    int next = current;
    switch (code) {
    case win::SB_LINEUP: --next; break;
    case win::SB_LINEDOWN: ++next; break;
    case win::SB_PAGEUP: next -= 7; break;
    case win::SB_PAGEDOWN: next += 7; break;
    case win::SB_THUMBPOSITION:
    case win::SB_THUMBTRACK: next = thumb; break;
    default: break;
    }
    return std::clamp(next, 0, std::max(maxScroll, 0));
}

int LimitsStripButtonAt(win::HWND, int line, win::POINT point)
{
    for (int b = 0; b < StripButtons(); ++b) {
        const win::RECT r = StripButtonRect(line, b);
        if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom) return b;
    }
    return -1;
}

void SetRowRangeText(int curveIndex, int axis, const std::string& text)
{
    WindowRecord* circuit = CircuitWindow();
    const int kind = Analysis().analysisKind;
    if (!circuit || !circuit->document || !circuit->plot || kind < 0 || kind > 2) return;
    const PlotRecord& plot = *circuit->plot;
    if (curveIndex < 0 || curveIndex >= static_cast<int>(plot.curves.size()) || !plot.curves[static_cast<std::size_t>(curveIndex)]) return;
    const int row = plot.curves[static_cast<std::size_t>(curveIndex)]->rowIndex;
    auto& rows = circuit->document->limitsRows[static_cast<std::size_t>(kind)];
    if (row < 0 || row >= static_cast<int>(rows.size())) return;
    std::string& target = axis == 0 ? rows[static_cast<std::size_t>(row)].xRange : rows[static_cast<std::size_t>(row)].yRange;
    if (target == text) return;
    target = text;
    SetRedrawFlags(circuit);
    if (State().dialog && State().circuit == circuit) FillRowControls();
}

void WriteCurveRangeToRow(int curveIndex, int axis)
{
    WindowRecord* circuit = CircuitWindow();
    if (!circuit || !circuit->plot) return;
    const PlotRecord& plot = *circuit->plot;
    if (curveIndex < 0 || curveIndex >= static_cast<int>(plot.curves.size())) return;
    const CurveRecord& curve = *plot.curves[static_cast<std::size_t>(curveIndex)];
    const std::size_t a = static_cast<std::size_t>(axis);
    const std::string text = curve.axisLow[a] == 0.0 ? StrPrintf("%g", curve.axisHigh[a])
                                                     : StrPrintf("%g,%g", curve.axisHigh[a], curve.axisLow[a]);
    SetRowRangeText(curveIndex, axis, text);
}

}  // namespace kq5
