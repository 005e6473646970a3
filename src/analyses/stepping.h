#pragma once
// Parameter stepping: an analysis repeated once per case, each case giving up to ten circuit
// quantities (a model parameter, a part's value, a defined symbol) new values. The settings are
// the document's ten slots; PrepareStepping resolves them at analysis start, the run loops form
// the cases through the run services, and every target gets its value back after the runs.
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct PartInstanceRecord;
struct WindowRecord;

// Actions of ApplyStepValue.
inline constexpr int kStepActionFirst = 1;
inline constexpr int kStepActionNext = 2;
inline constexpr int kStepActionRestore = 3;

// Messages.
inline constexpr int kMsgStepModelNotFound = 13271;
inline constexpr int kMsgStepCantStepParam = 13274;
inline constexpr int kMsgStepParamNotFound = 13275;
inline constexpr int kMsgStepMissingParam = 13276;
inline constexpr int kMsgStepComponentNotFound = 13277;
inline constexpr int kMsgStepSpiceError = 13278;
inline constexpr int kMsgStepTooManyCases = 13279;
inline constexpr int kMsgStepIllegalStep = 13281;
inline constexpr int kMsgStepIllegalFrom = 13282;
inline constexpr int kMsgStepIllegalTo = 13283;
inline constexpr int kMsgStepTwice = 13284;
inline constexpr int kMsgStepDefineNotFound = 13285;
inline constexpr int kMsgStepSimultaneousCounts = 13286;
inline constexpr int kMsgStepMissingList = 13287;

inline constexpr int kMaxStepCases = 1000;

// Resolves the current document's slots: sets RunState().runCount and steppingActive; on an
// error reports it, raises setupFailed and leaves stepping off. 0 or 15055.
int PrepareStepping();
// One slot (0..9): action 1 the first value, 2 the value of its case index (advance moves the
// index on first), 3 the value from before stepping. 0 or 15055 (a value out of range).
int ApplyStepValue(int slot, int action, bool advance = false);
// Action 1 on every active slot; the first error.
int ApplyStepValues();
// Action 3 on every slot.
void RestoreSteppedValues();
// Before each run: the values of case RunState().runIndex (1-based) on every active slot, and
// a new build when a symbolic value changed. 0 or a message id.
int NextStepCase();
// The circuit built again for a changed symbolic value; 0 or the first message id.
int RebuildForSymbolicStep();
// The per-run set-up of an analysis start or a rebuild: build, the circuit at 27 degrees, the
// transient solver, the nominal layers, and with a rebuild the slots' values again. 0 or a
// message id.
int SetUpAnalysisRun(bool rebuild);

// 1 when the item (a model record or a part value) is a target of an active slot.
bool IsSteppedItem(const void* item);
// The device values of a built part that a slot may step by name: the MOSFET geometry, or the
// values of a SPICE source's own function ("value.w", "pulse.v2", ...); empty for other parts.
std::vector<std::string> DeviceStepParamNames(const PartInstanceRecord& part);
// "Name.Param", or "Name" without a Param.
std::string FormatSteppedParamName(int slot);
// The stepping part of a plot caption (see the source for its forms).
std::string FormatStepCaption(WindowRecord* window, bool wantRange);

// The Stepping dialog (command 17150, F11).
inline constexpr int kSteppingDialog = 17150;
void OpenSteppingDialog();
win::INT_PTR SteppingDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

// The run-contract services of stepping and Monte Carlo: per-temperature begin and end of the
// cases and the test whether more cases follow.
void InstallSteppingRunServices();

}  // namespace kq5
