// The Stepping dialog: the document's ten slots edited two at a time in a working copy that OK
// writes back.
#include <array>
#include <set>
#include <string>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "results/run_state.h"
#include "analyses/stepping.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/component_types.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/defines.h"
#include "core/part_instance.h"
#include "netlist/spice_reader_state.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window.h"
#include "platform/win_messages.h"
#include "plots/limits_dialog.h"

namespace kq5 {

namespace {

constexpr int kGroupBase = 300;
constexpr int kGroupStride = 50;
enum SlotControl {
    kGroup = 0, kName, kParam, kFrom, kTo, kValue, kYes, kNo, kLinear, kLog, kList, kComponent, kModel, kSymbolic
};
constexpr int kSimultaneous = 401;
constexpr int kNested = 402;
constexpr int kPagePrevious = 403;
constexpr int kPageNext = 404;
constexpr int kHelpButton = 9;
constexpr int kSlotsShown = 2;

struct SteppingDialogState {
    std::array<SteppingSlot, kSteppingSlots> slots;
    int page = 0;  // the first slot shown is 2 x page
};

SteppingDialogState& DialogState()
{
    static SteppingDialogState state;
    return state;
}

int Id(int shown, SlotControl control) { return kGroupBase + kGroupStride * shown + control; }

CircuitDocument* Document()
{
    WindowRecord* circuit = RunControl().circuitWindow;
    return circuit && circuit->document ? circuit->document.get() : CurrentDocument();
}

std::string ComboText(win::HWND dialog, int id) { return win::GetDlgItemText(dialog, id); }

void AddOnce(win::HWND combo, std::set<std::string>& seen, const std::string& text, win::LPARAM data)
{
    if (text.empty() || !seen.insert(CopyUpperCase(text)).second) return;
    const auto at = win::SendMessage(combo, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text.c_str()));
    if (at >= 0) win::SendMessage(combo, win::CB_SETITEMDATA, static_cast<win::WPARAM>(at), data);
}

std::uint32_t TypeOf(win::HWND dialog, int shown)
{
    if (win::IsDlgButtonChecked(dialog, Id(shown, kComponent))) return kStepComponent;
    if (win::IsDlgButtonChecked(dialog, Id(shown, kModel))) return kStepModel;
    return kStepSymbolic;
}

// The Name combo: the parts, the models or the symbols of the built circuit.
void FillNames(win::HWND dialog, int shown, const std::string& selected)
{
    win::HWND combo = win::GetDlgItem(dialog, Id(shown, kName));
    win::SendMessage(combo, win::CB_RESETCONTENT, 0, 0);
    std::set<std::string> seen;
    switch (TypeOf(dialog, shown)) {
    case kStepComponent:
        NetlistReader().partNames.ForEach([&](std::string_view name, PartInstanceRecord* part) {
            const ComponentTypeRow* row = part ? FindComponentTypeRow(part->typeCode) : nullptr;
            AddOnce(combo, seen, std::string(name), row ? row->modelType : -1);
        });
        break;
    case kStepModel:
        for (const ModelStatement& statement : Models().statements) {
            const ModelTypeRow* row = FindModelTypeRow(statement.type);
            if (row) AddOnce(combo, seen, std::string(row->name) + " " + statement.name, statement.type);
        }
        break;
    default:
        for (const DefineRow& define : DefineTable())
            if (define.argumentCount == 0 && !define.emptyParentheses) AddOnce(combo, seen, define.name, -1);
        break;
    }
    const auto at = win::SendMessage(combo, win::CB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                     reinterpret_cast<win::LPARAM>(selected.c_str()));
    if (at >= 0) {
        win::SendMessage(combo, win::CB_SETCURSEL, static_cast<win::WPARAM>(at), 0);
    } else if (!selected.empty()) {
        win::SetWindowText(combo, selected.c_str());
    } else if (win::SendMessage(combo, win::CB_GETCOUNT, 0, 0) > 0) {
        win::SendMessage(combo, win::CB_SETCURSEL, 0, 0);
    }
}

// The Param combo: "Value" for a part with a value, the MOSFET or source values of such a part,
// and the parameters of the model type.
void FillParams(win::HWND dialog, int shown, const std::string& selected)
{
    win::HWND names = win::GetDlgItem(dialog, Id(shown, kName));
    win::HWND combo = win::GetDlgItem(dialog, Id(shown, kParam));
    win::SendMessage(combo, win::CB_RESETCONTENT, 0, 0);
    std::set<std::string> seen;
    const auto sel = win::SendMessage(names, win::CB_GETCURSEL, 0, 0);
    const int modelType = sel >= 0 ? static_cast<int>(win::SendMessage(names, win::CB_GETITEMDATA, static_cast<win::WPARAM>(sel), 0)) : -1;
    const std::uint32_t type = TypeOf(dialog, shown);
    if (type == kStepComponent && sel >= 0) {
        const PartInstanceRecord* const* part = NetlistReader().partNames.Find(CopyUpperCase(ComboText(dialog, Id(shown, kName))));
        const ComponentTypeRow* row = part && *part ? FindComponentTypeRow((*part)->typeCode) : nullptr;
        if (row && row->mainAttribute) AddOnce(combo, seen, "Value", -1);
        if (part && *part)
            for (const std::string& name : DeviceStepParamNames(**part)) AddOnce(combo, seen, name, -1);
    }
    int paramsRow = modelType;
    if (type == kStepModel && modelType >= 0) {
        // A model's own table of parameters: a MOSFET's LEVEL 4, 5 and 8 have tables of their own.
        const std::string text = ComboText(dialog, Id(shown, kName));
        const std::string name = CopyUpperCase(text.substr(std::min(text.size(), text.find(' ') + 1)));
        for (const ModelStatement& statement : Models().statements)
            if (statement.type == modelType && statement.name == name) paramsRow = statement.row;
    }
    if (type != kStepSymbolic && paramsRow >= 0)
        if (const ModelTypeRow* row = FindModelTypeRow(paramsRow))
            for (int i = 0; i < row->statementCount; ++i)
                if (row->params[i].valueKind == kParamNumber) AddOnce(combo, seen, row->params[i].name, i);
    const auto at = win::SendMessage(combo, win::CB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                     reinterpret_cast<win::LPARAM>(selected.c_str()));
    if (at >= 0) win::SendMessage(combo, win::CB_SETCURSEL, static_cast<win::WPARAM>(at), 0);
    else win::SetWindowText(combo, selected.c_str());
}

void EnableRange(win::HWND dialog, int shown)
{
    const bool list = win::IsDlgButtonChecked(dialog, Id(shown, kList)) != 0;
    win::EnableWindow(win::GetDlgItem(dialog, Id(shown, kTo)), !list);
    win::EnableWindow(win::GetDlgItem(dialog, Id(shown, kValue)), !list);
}

void LoadPage(win::HWND dialog)
{
    SteppingDialogState& state = DialogState();
    for (int shown = 0; shown < kSlotsShown; ++shown) {
        const int index = state.page * kSlotsShown + shown;
        const SteppingSlot& slot = state.slots[static_cast<std::size_t>(index)];
        win::SetDlgItemText(dialog, Id(shown, kGroup), ("Parameter " + std::to_string(index + 1)).c_str());
        const int method = (slot.flags & kStepLog) ? kLog : (slot.flags & kStepLinear) ? kLinear : kList;
        win::CheckRadioButton(dialog, Id(shown, kLinear), Id(shown, kList), Id(shown, static_cast<SlotControl>(method)));
        const int type = (slot.flags & kStepComponent) ? kComponent : (slot.flags & kStepModel) ? kModel : kSymbolic;
        win::CheckRadioButton(dialog, Id(shown, kComponent), Id(shown, kSymbolic), Id(shown, static_cast<SlotControl>(type)));
        win::CheckRadioButton(dialog, Id(shown, kYes), Id(shown, kNo), Id(shown, (slot.flags & kStepOn) ? kYes : kNo));
        FillNames(dialog, shown, slot.name);
        FillParams(dialog, shown, slot.param);
        win::SetDlgItemText(dialog, Id(shown, kFrom), slot.from.c_str());
        win::SetDlgItemText(dialog, Id(shown, kTo), slot.to.c_str());
        win::SetDlgItemText(dialog, Id(shown, kValue), slot.value.c_str());
        EnableRange(dialog, shown);
    }
    win::EnableWindow(win::GetDlgItem(dialog, kPagePrevious), state.page > 0);
    win::EnableWindow(win::GetDlgItem(dialog, kPageNext), (state.page + 1) * kSlotsShown < kSteppingSlots);
}

void StorePage(win::HWND dialog)
{
    SteppingDialogState& state = DialogState();
    for (int shown = 0; shown < kSlotsShown; ++shown) {
        SteppingSlot& slot = state.slots[static_cast<std::size_t>(state.page * kSlotsShown + shown)];
        std::uint32_t flags = win::IsDlgButtonChecked(dialog, Id(shown, kLog))      ? kStepLog
                              : win::IsDlgButtonChecked(dialog, Id(shown, kLinear)) ? kStepLinear
                                                                                    : kStepList;
        flags |= TypeOf(dialog, shown);
        if (win::IsDlgButtonChecked(dialog, Id(shown, kYes))) flags |= kStepOn;
        slot.flags = flags;
        slot.name = ComboText(dialog, Id(shown, kName));
        slot.param = ComboText(dialog, Id(shown, kParam));
        slot.from = win::GetDlgItemText(dialog, Id(shown, kFrom));
        slot.to = win::GetDlgItemText(dialog, Id(shown, kTo));
        slot.value = win::GetDlgItemText(dialog, Id(shown, kValue));
        win::HWND names = win::GetDlgItem(dialog, Id(shown, kName));
        const auto sel = win::SendMessage(names, win::CB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                          reinterpret_cast<win::LPARAM>(slot.name.c_str()));
        slot.deviceIndex = sel >= 0 ? static_cast<std::int32_t>(win::SendMessage(names, win::CB_GETITEMDATA, static_cast<win::WPARAM>(sel), 0)) : -1;
    }
}

void Accept(win::HWND dialog)
{
    StorePage(dialog);
    CircuitDocument* document = Document();
    if (document) {
        document->stepping = DialogState().slots;
        document->steppingSimultaneous = win::IsDlgButtonChecked(dialog, kSimultaneous) ? 1 : 0;
        // Stepping and Monte Carlo exclude each other: turning a slot on turns Monte Carlo off.
        const int kind = Analysis().analysisKind;
        for (const SteppingSlot& slot : document->stepping)
            if ((slot.flags & kStepOn) && kind >= 0 && kind < kAnalysisKindCount)
                document->monteCarlo[static_cast<std::size_t>(kind)].options &= ~kMonteCarloOn;
        MarkModified(RunControl().circuitWindow ? RunControl().circuitWindow : CurrentRecord());
    }
    win::EndDialog(dialog, 1);
    // The next run uses the new settings; their errors are told now, with the dialog closed.
    if (Analysis().analysisKind != kAnalysisNone) {
        RunState().setupFailed = false;
        PrepareStepping();
    }
}

}  // namespace

win::INT_PTR SteppingDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    SteppingDialogState& state = DialogState();
    switch (message) {
    case win::WM_INITDIALOG: {
        state = SteppingDialogState{};
        if (const CircuitDocument* document = Document()) {
            state.slots = document->stepping;
            win::CheckRadioButton(dialog, kSimultaneous, kNested, document->steppingSimultaneous ? kSimultaneous : kNested);
        }
        LoadPage(dialog);
        return 1;
    }
    case win::WM_COMMAND: {
        const int id = static_cast<int>(wParam & 0xFFFF);
        const int code = static_cast<int>((wParam >> 16) & 0xFFFF);
        switch (id) {
        case win::IDOK: Accept(dialog); return 1;
        case win::IDCANCEL: win::EndDialog(dialog, 0); return 1;
        case kPagePrevious:
        case kPageNext: {
            const int page = state.page + (id == kPageNext ? 1 : -1);
            if (page < 0 || page * kSlotsShown >= kSteppingSlots) return 1;
            StorePage(dialog);
            state.page = page;
            LoadPage(dialog);
            return 1;
        }
        case kHelpButton: ShowDialogHelp(kSteppingDialog); return 1;
        default: break;
        }
        for (int shown = 0; shown < kSlotsShown; ++shown) {
            if (id == Id(shown, kLinear) || id == Id(shown, kLog) || id == Id(shown, kList)) EnableRange(dialog, shown);
            if (id >= Id(shown, kComponent) && id <= Id(shown, kSymbolic)) {
                FillNames(dialog, shown, "");
                FillParams(dialog, shown, "");
            }
            if (id == Id(shown, kName) && code == win::CBN_SELCHANGE) FillParams(dialog, shown, "");
            // A typed name or parameter that matches an entry selects it (and a name its parameters).
            if ((id == Id(shown, kName) || id == Id(shown, kParam)) && code == win::CBN_EDITCHANGE) {
                win::HWND combo = win::GetDlgItem(dialog, id);
                const std::string typed = ComboText(dialog, id);
                const auto at = win::SendMessage(combo, win::CB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                                 reinterpret_cast<win::LPARAM>(typed.c_str()));
                if (at >= 0 && win::SendMessage(combo, win::CB_GETCURSEL, 0, 0) != at) {
                    win::SendMessage(combo, win::CB_SETCURSEL, static_cast<win::WPARAM>(at), 0);
                    // Typing goes on after the text, not over it.
                    const auto end = static_cast<win::LPARAM>(typed.size());
                    win::SendMessage(combo, win::CB_SETEDITSEL, 0, end | (end << 16));
                    if (id == Id(shown, kName)) FillParams(dialog, shown, "");
                }
            }
        }
        return 0;
    }
    default: return 0;
    }
}

void OpenSteppingDialog()
{
    if (Analysis().analysisKind == kAnalysisNone) return;
    CloseAnalysisLimitsDialog();
    win::DialogBoxParam(win::GetModuleHandle(nullptr), kSteppingDialog, AppFrameWindow(), SteppingDlgProc, 0);
}

}  // namespace kq5
