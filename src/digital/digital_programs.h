#pragma once
// The parts that carry a program in an attribute: LOGICEXP (logic assignments), PINDLY (delays
// per output, tri-state enables and checks) and CONSTRAINT (timing and boolean checks). Each
// part's text is compiled once per build into a record; the evaluation runs the record and the
// clause checks write their warning blocks.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/expr_compiler.h"
#include "core/expr_digital.h"
#include "core/digital_node_states.h"

namespace kq5 {

struct SchematicItem;

// Kinds of a variable: an input pin, any other pin (output, enable, reference), a temporary
// or boolean variable that an assignment introduced.
inline constexpr std::uint32_t kVariableInput = 1;
inline constexpr std::uint32_t kVariablePin = 2;
inline constexpr std::uint32_t kVariableTemporary = 8;

struct VariableTable {
    std::vector<std::string> names;  // upper case
    std::vector<std::uint32_t> kinds;
    std::vector<std::int32_t> spare;
    int Count() const { return static_cast<int>(names.size()); }
    // The names as the expression compiler's outside names.
    OutsideNameTable AsOutsideNames() const;
    // The index of a name, case-blind: the first pin-or-temporary entry of that name, else
    // the last entry of another kind; -1 when there is none.
    int Find(const std::string& name) const;
};

enum ConstraintSectionKind : int {
    kSectionBoolean = 1,
    kSectionSetupHold = 2,
    kSectionWidth = 3,
    kSectionFreq = 4,
    kSectionGeneral = 5,
    kSectionPinDelay = 6,
    kSectionTristate = 7,
};

// Time slots of the check sections. SETUP_HOLD uses all nine; WIDTH MIN_HI and MIN_LO; FREQ
// MINFREQ, MAXFREQ, the minimum period (1/MAXFREQ) and the maximum period (1/MINFREQ).
enum ConstraintSlot : int {
    kSlotSetupTime, kSlotSetupTimeHi, kSlotSetupTimeLo,
    kSlotHoldTime, kSlotHoldTimeHi, kSlotHoldTimeLo,
    kSlotReleaseTime, kSlotReleaseTimeLh, kSlotReleaseTimeHl,
    kSlotMinHi = 0, kSlotMinLo = 1,
    kSlotMinFreq = 0, kSlotMaxFreq = 1, kSlotMinPeriod = 2, kSlotMaxPeriod = 3,
};

struct ConstraintTime {
    double seconds = 0.0;
    std::uint32_t ticks = 0;  // at the present time unit, set at run start
};

struct ConstraintSection {
    int kind = 0;
    std::vector<DigitalCode> code;   // BOOLEAN or WHEN condition, or the delay expression
    int target = -1;                 // BOOLEAN variable; WIDTH and FREQ node; SETUP_HOLD clock
    int clockEdge = 1;               // SETUP_HOLD: 1 rising (LH), 0 falling (HL)
    std::vector<std::int32_t> data;  // SETUP_HOLD data variables
    std::array<ConstraintTime, 9> slots{};
    int enablePolarity = -1;         // PINDLY and TRISTATE: -1 none, 1 HI, 2 LO
    int enable = -1;
    std::vector<std::int32_t> outputs;
    std::string message;
    std::int32_t errorLimit = 20;    // 2147483647: no limit
};

// What the checks remember of one pin: its settled level and when it last changed.
struct ProgramPinHistory {
    std::uint8_t level = 4;       // settled state index (X until the pin settles)
    std::uint8_t transition = 4;  // R for a rise, F for a fall, else the new level
    std::uint8_t changes = 0;     // 0, 1, or 2 for two or more
    std::uint32_t lastChange = 0, changeBefore = 0;
};

// What one check section remembers between evaluations.
struct SectionHistory {
    std::uint32_t rise = 0, fall = 0, clockEdge = 0;
    bool riseSet = false, fallSet = false, clockSeen = false;
    std::array<std::uint32_t, 2> settle{};  // FREQ: last settling at 0 and at 1
    std::array<bool, 2> settleSeen{};
    std::array<bool, 2> settleIsEdge{};  // that settling came from the other level: a period starts there
    bool withinMaximum = true;          // no period too long since the last one within the maximum
    int count = 0;  // warnings of the section
    std::uint32_t checkedAt = 0;  // the tick the section last ran its checks
    bool checkedSet = false;
};

struct ProgramRunState {
    std::vector<ProgramPinHistory> pins;
    std::vector<SectionHistory> sections;
};

// The part's pins and the record built from its program. The evaluation reads `values`: one
// state per variable (pins from their nodes, temporaries and booleans as computed).
struct ProgramRecord : DigitalDeviceRecord {
    int device = 0;
    int pinCount = 0;
    int inputCount = 0;   // pins below this are inputs of the checks
    std::vector<std::int32_t> pinNodes;
    VariableTable variables;
    std::vector<ConstraintSection> sections;
    std::vector<std::uint16_t> values;
    // The check histories of the present step and as of the last accepted point.
    ProgramRunState pending, committed;
    bool dirty = false;
};

struct LogicAssignment {
    std::vector<DigitalCode> code;
    int target = -1;
};

struct LogicExpRecord : ProgramRecord {
    std::vector<LogicAssignment> assignments;
};

struct PinDelayRecord : ProgramRecord {
    int outputCount = 0;
    int enableCount = 0;     // pins of type 'e'
    int refEnableCount = 0;  // pins of type 'r' and 'e'
    // Per output (in pin order): the state it goes to, its strengths and its delay triple.
    std::vector<std::uint16_t> outputState;
    std::vector<std::uint8_t> outputLow, outputHigh;
    std::vector<std::array<std::int32_t, 3>> outputDelay;
};

struct ConstraintRecord : ProgramRecord {};

// The part as the compilers see it: its pins' names, type letters and nodes.
struct ProgramPart {
    SchematicItem* item = nullptr;
    std::vector<std::string> pinNames;
    std::string pinLetters;  // 'i', 'o', 'e', 'r' per pin
    std::vector<std::int32_t> pinNodes;
    int inputCount = 0;
    int outputCount = 0;
};

// 0 with the record made, 15055 after reporting the first error against the part, 15002.
int CompileLogicExp(const ProgramPart& part, const std::string& text, std::unique_ptr<LogicExpRecord>& record);
int CompilePinDelay(const ProgramPart& part, const std::string& text, std::unique_ptr<PinDelayRecord>& record);
int CompileConstraint(const ProgramPart& part, const std::string& text, std::unique_ptr<ConstraintRecord>& record);

// Run start: delay and check values in ticks of the present time unit, histories cleared.
void ResetProgramChecks();
// The accepted point keeps the check histories; a rejected one returns to them.
void CommitProgramHistories();
void RestoreProgramHistories();

// Evaluation of a LOGICEXP, PINDLY or CONSTRAINT device at its first output: runs the program
// and the clauses. 0 or an error id.
int RunProgramDevice(DigitalDeviceTables& d, int device);
// The state output k (1 = the last output pin) goes to, with its strengths in evalLow and
// evalHigh; a PINDLY output also gives its delay triple.
std::uint16_t ProgramOutputState(DigitalDeviceTables& d, int device, int k);
// The delay triple of the PINDLY output being evaluated; false for other devices.
bool PinDelayTriple(const DigitalDeviceTables& d, int device, int k, std::array<std::int32_t, 3>& triple);

}  // namespace kq5
