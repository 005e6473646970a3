#pragma once
// Small services around a run: the numeric output file shown in a text window, the Data Point
// Reduction and Animate Options dialogs, the plot menu's option bits, and the animation wait
// after each point.
#include <cstdint>
#include <string>

namespace kq5 {

struct CurveRecord;
struct WindowRecord;

inline constexpr int kDataPointReductionTemplate = 17155;
inline constexpr int kAnimateOptionsTemplate = 17172;
inline constexpr int kNumericOutputLayoutBits = 0x34;

// Shows the numeric output file of the current analysis (activating a window that has it open);
// the window, or null.
WindowRecord* ShowNumericOutputWindow();

// The options-word bit a plot menu command (18400 to 18406) toggles.
std::uint32_t PlotOptionBitForCommand(int commandId);

// "1st", "2nd", "3rd", "4th", "11th", "21st", "112th".
std::string OrdinalText(int n);
// The reduction choices of the dialog, in order.
const char* const* ReductionChoices(int& count);
// The leading whole number of a choice text ("20th" gives 20), at least 1.
int ReductionCount(const std::string& text);

// The two dialogs; 1 OK, 0 Cancel or no analysis.
int OpenDataPointReduction();
int OpenAnimateOptions();

// After each point of an animated run: waits for a key or the time delay.
void WaitAnimationStep();
void RememberDigitalStates();
// Whether animation is held off (batch runs and redraws from stored runs).
void SuppressAnimation(bool suppress);

// A transient run's first stored point of the curve, when it lies off the analysis start time,
// becomes its value at that time: the line through the next two points (their stored state for
// a digital curve). A first point at the start time keeps its value.
void InterpolateRunStartPoint(WindowRecord* window, CurveRecord& curve);

// The first character of a text whose class is not a blank.
const char* SkipClassBlanks(const char* text);

}  // namespace kq5
