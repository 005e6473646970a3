#pragma once
// The About box and the modeless Calculator.
#include <array>
#include <string>

#include "document/characteristics.h"
#include "core/font_description.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

constexpr int kAboutTemplate = 17804;
constexpr const char* kProgramVersion = "2.1.2";

// The About box over the parent (the frame when none).
void ShowAboutBox(win::HWND parent);
win::INT_PTR AboutDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

constexpr int kCalculatorTemplate = 17312;
constexpr int kCalculatorExpression = 10;
constexpr int kCalculatorResult = 100;
constexpr int kCalculatorCalculate = 200;
constexpr int kCalculatorClose = 23;
// The kept expression holds 92 characters; the field takes no more, so what is evaluated is
// always what the user sees.
constexpr std::size_t kCalculatorTextMax = 92;

// Opens the calculator modeless over the parent (the frame when none), or activates it.
void ShowCalculator(win::HWND parent);
win::INT_PTR CalculatorDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
// The open calculator, null when closed; its kept expression.
win::HWND CalculatorWindow();
const std::string& CalculatorExpression();
void ResetCalculatorForTests();
// The result text of an expression as the calculator shows it; the expression is folded
// (sign pairs, blanks) in place.
std::string EvaluateCalculatorText(std::string& expression);

// The Characteristics dialog of a circuit window is in document/characteristics.h.

}  // namespace kq5
