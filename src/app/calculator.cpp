#include "app/info_dialogs.h"

#include <cmath>
#include <complex>

#include "ui/dialog_services.h"
#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "core/error_context.h"
#include "ui/frame_state.h"
#include "ui/preference_values.h"
#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "core/expr_compiler.h"
#include "core/expr_evaluator.h"
#include "core/expr_math_errors.h"
#include "core/message_args.h"
#include "core/message_reporter.h"
#include "netlist/circuit_build.h"
#include "netlist/build_errors.h"
#include "netlist/defines.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kMenuCalculator = 17312;
constexpr std::size_t kErrorTextMax = 200;

struct CalculatorState {
    win::HWND window = nullptr;
    WindowRecord* record = nullptr;
    std::string expression;  // kept while the program runs
    bool placed = false;
    win::POINT place{0, 0};
};

CalculatorState& Calc()
{
    static CalculatorState state;
    return state;
}

void CheckCalculatorMenu(bool checked)
{
    if (win::HWND frame = AppFrameWindow())
        if (win::HMENU menu = win::GetMenu(frame))
            win::CheckMenuItem(menu, kMenuCalculator, checked ? win::MF_CHECKED : win::MF_UNCHECKED);
}

std::string MessageShown(int id, const std::array<std::string, 2>& texts = {})
{
    const MessageArgs args = MakeMessageArgs(texts[0].c_str(), texts[1].c_str());
    std::string text = ComposeErrorText(id, args);
    if (text.size() >= 2 && text[0] == '%' && (text[1] == 'E' || text[1] == 'W')) text.erase(0, 2);
    if (text.size() > kErrorTextMax) text.resize(kErrorTextMax);
    return text;
}

std::string FormatPart(double value)
{
    return FormatNumber(value, PreferenceSettings().calculatorFormat, 0);
}

void CloseCalculator(win::HWND dialog)
{
    CalculatorState& c = Calc();
    win::RECT r{};
    win::GetWindowRect(dialog, &r);
    c.place = win::POINT{r.left, r.top};
    c.placed = true;
    c.window = nullptr;
    if (Frame().modelessDialog == dialog) Frame().modelessDialog = nullptr;
    win::DestroyWindow(dialog);
    if (c.record) FreeWindowRecord(c.record);
    c.record = nullptr;
    CheckCalculatorMenu(false);
    if (win::HWND frame = AppFrameWindow()) win::SetActiveWindow(frame);
}

}  // namespace

std::string EvaluateCalculatorText(std::string& expression)
{
    ResetMathErrors();
    FoldRepeatedSigns(expression);
    // Between runs the symbols of the default definitions file are read for this one line and
    // dropped afterwards; during a run the circuit's own symbols are there already.
    const AnalysisState& analysis = Analysis();
    const bool idle = analysis.analysisKind == kAnalysisNone;
    // An error shown since the last circuit build (any message box that is not a warning) must not
    // stop the reading, which starts afresh as a build does.
    if (idle) ClearCircuitBuildError();
    if (idle && ReadDefaultDefinitionsFile() != 0) {
        FreeBuiltCircuit(kFreeDefines);
        return {};
    }
    std::string substituted;
    if (SubstituteDefines(substituted, 0, expression) != 0) substituted.clear();

    const std::uint32_t context =
        !analysis.solution.real.empty() && !idle ? (1u << static_cast<unsigned>(analysis.analysisKind)) : 8u;
    CompiledExpression compiled;
    ExpressionRequest request;
    InitExpressionRecord(substituted, &compiled, context, 0x800, request);
    request.window = Calc().record;
    request.quiet = true;
    std::string result;
    const int status = CompileExpression(request);
    if (status != 0) {
        if (status != kMsgAlreadyReported) result = MessageShown(status, request.quietTexts);
    } else {
        std::complex<double> value;
        const int error = EvaluateExpression(compiled, value);
        if (error != 0) {
            result = MessageShown(error == kEvalFailed ? kMsgMathErrorReported : error);
        } else {
            result = FormatPart(value.real());
            if (value.imag() != 0.0) result += "\ni=" + FormatPart(value.imag());
        }
    }
    FreeCompiledExpression(compiled);
    if (idle) FreeBuiltCircuit(kFreeDefines);
    return result;
}

win::INT_PTR CalculatorDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM)
{
    CalculatorState& c = Calc();
    switch (msg) {
    case win::WM_INITDIALOG:
        if (c.placed) win::SetWindowPos(dialog, nullptr, c.place.x, c.place.y, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
        c.record = NewWindowRecord(dialog, kWindowPlainDialog);
        win::SendDlgItemMessage(dialog, kCalculatorExpression, win::EM_LIMITTEXT, kCalculatorTextMax, 0);
        win::SetDlgItemText(dialog, kCalculatorExpression, c.expression.c_str());
        return win::TRUE;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case kCalculatorCalculate: {
            std::string text = win::GetDlgItemText(dialog, kCalculatorExpression);
            if (text.size() > kCalculatorTextMax) text.resize(kCalculatorTextMax);
            if (text.empty()) return win::TRUE;
            const std::string result = EvaluateCalculatorText(text);
            c.expression = text;
            win::SetDlgItemText(dialog, kCalculatorExpression, text.c_str());
            win::SetDlgItemText(dialog, kCalculatorResult, result.c_str());
            win::SetFocus(win::GetDlgItem(dialog, kCalculatorExpression));
            return win::TRUE;
        }
        case win::IDCANCEL:
        case kCalculatorClose:
            win::PostMessage(dialog, win::WM_CLOSE, 0, 0);
            return win::TRUE;
        case 9:
            ShowDialogHelp(kCalculatorTemplate);
            return win::TRUE;
        default:
            return win::FALSE;
        }
    case win::WM_ACTIVATE:
        // While active, the message loop hands the calculator its keys.
        if (win::LOWORD(wParam) != 0) Frame().modelessDialog = dialog;
        return win::FALSE;
    case win::WM_CLOSE:
        CloseCalculator(dialog);
        return win::TRUE;
    default:
        return win::FALSE;
    }
}

void ShowCalculator(win::HWND parent)
{
    CalculatorState& c = Calc();
    if (c.window) {
        win::SetActiveWindow(c.window);
    } else {
        c.window = win::CreateDialogParam(win::GetModuleHandle(nullptr), kCalculatorTemplate, parent ? parent : AppFrameWindow(),
                                          CalculatorDlgProc, 0);
    }
    CheckCalculatorMenu(true);
}

win::HWND CalculatorWindow() { return Calc().window; }

const std::string& CalculatorExpression() { return Calc().expression; }

void ResetCalculatorForTests()
{
    CalculatorState& c = Calc();
    if (c.window) win::DestroyWindow(c.window);
    c.window = nullptr;
    c.record = nullptr;  // the records go with the test's application state
    c = CalculatorState{};
}

}  // namespace kq5
