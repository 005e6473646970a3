#pragma once
// The stimulus pattern language of STIM parts: timed values, labels, repeat blocks, jumps and
// counting, compiled into a step list at set-up and played into timed output changes at the
// start of a run.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/digital_node_states.h"

namespace kq5 {

inline constexpr std::uint16_t kStepRelative = 0x001;
inline constexpr std::uint16_t kStepAbsolute = 0x002;
inline constexpr std::uint16_t kStepGoto = 0x004;
inline constexpr std::uint16_t kStepUntilLe = 0x008;
inline constexpr std::uint16_t kStepUntilLt = 0x010;
inline constexpr std::uint16_t kStepUntilGt = 0x020;
inline constexpr std::uint16_t kStepUntilGe = 0x040;
inline constexpr std::uint16_t kStepDecrBy = 0x080;
inline constexpr std::uint16_t kStepIncrBy = 0x100;
inline constexpr std::uint16_t kStepRepeat = 0x200;
inline constexpr std::uint16_t kStepEndRepeat = 0x400;

struct StimulusStep {
    std::uint16_t flags = 0;
    int target = -1;        // a GOTO's label step; a REPEAT's ENDREPEAT and back
    double time = 0.0;      // seconds (cycles already multiplied by TIMESTEP)
    double resolved = 0.0;  // the absolute time the step last ran at
    std::string value;      // one character per bit, most significant first
    int count = 0;          // REPEAT n (-1 FOREVER), GOTO n TIMES
    int remaining = 0;
};

// The compiled program of one stimulus part, and the changes it makes in a run.
struct StimulusProgram : StimulusRecord {
    std::string format;
    int width = 0;
    std::vector<StimulusStep> steps;
    std::vector<int> bitOrder;
};

// The bits a format describes: the sum of its digits ('1', '3', '4'); -1 for any other
// character; 0 for an empty text.
int FormatBitWidth(std::string_view format);

// Compiles the command against the format for a part of `pins` outputs. 0, or the message id
// of the first error with its text argument (if any) in `detail`.
int CompileStimulus(StimulusProgram& program, std::string_view command, std::string_view format, int pins,
                    double timestep, std::string& detail);

// Reads a stimulus file into the program: the header's signal groups give the format, each
// pin takes the signal named by the next word of `signalNames` or else by `pinNames`, and each
// data line is a step. 0, or the message id of the first error with its arguments in `details`
// and the file's line in `line`.
int ReadStimFile(StimulusProgram& program, const std::string& fileName, std::string_view signalNames,
                 const std::vector<std::string>& pinNames, std::vector<std::string>& details, int& line);

// Plays every stimulus program from the run's start to its end into its device's output
// changes (loading delays included). 0, 15055 (reported against the part) or 15002.
int StepStimulusDevices(double start, double end);

// A DIGITAL SWITCH clicked during a run: its output takes the lever's level (full strength) at
// the next digital tick. Nothing for a part the simulator does not hold. 0 or 15002.
int ScheduleSwitchLevel(const SchematicItem* item);

}  // namespace kq5
