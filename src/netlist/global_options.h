#pragma once
// The simulator settings that .OPTIONS statements set: 38 named options, each bound to one
// typed variable that the analog kernel, the digital simulator and the SPICE export read
// directly. The Global Settings give every option its value first; a circuit's .OPTIONS
// statements then overwrite the values for that circuit's build.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/linked_list.h"

namespace kq5 {

struct CircuitTextObject;

inline constexpr int kGlobalOptionCount = 38;

// Value types of an option.
enum GlobalOptionType : std::int16_t {
    kOptionInteger = 1,
    kOptionDouble = 2,
    kOptionFlag = 3,  // integer 0 or 1
};

// SPICE export dialects that write an option.
inline constexpr std::uint16_t kOptionDialectPspice = 0x01;
inline constexpr std::uint16_t kOptionDialectSpice2G = 0x02;
inline constexpr std::uint16_t kOptionDialectSpice3 = 0x40;

// Integration methods.
inline constexpr std::int32_t kMethodGear = 0;
inline constexpr std::int32_t kMethodTrap = 1;

// The option variables.
struct GlobalOptionValues {
    double abstol = 1e-12;
    double chgtol = 1e-14;
    double cptime = 1e9;
    double defad = 0.0;
    double defas = 0.0;
    double defl = 100e-6;
    double defw = 100e-6;
    double digdrvf = 2.0;
    double digdrvz = 20e3;
    std::int32_t digerrdefault = 20;
    std::int32_t digerrlimit = 10000;
    double digfreq = 10e9;
    std::int32_t diginitstate = 2;
    std::int32_t digiolvl = 1;
    std::int32_t digmntymx = 2;
    double digmntyscale = 0.4;
    double digovrdrv = 3.0;
    double digtymxscale = 1.6;
    double gmin = 1e-12;
    std::int32_t itl1 = 100;
    std::int32_t itl2 = 50;
    std::int32_t itl4 = 10;
    std::int32_t itl5 = 0;
    double limpts = 0.0;
    std::int32_t nooutmsg = 0;
    double pivrel = 1e-3;
    double pivtol = 1e-13;
    double reltol = 1e-3;
    double sd = 2.58;
    double tnom = 27.0;
    double trtol = 7.0;
    std::int32_t trytocompact = 0;
    double vntol = 1e-6;
    std::int32_t width = 80;
    std::int32_t privatedigital = 0;
    std::int32_t privateanalog = 1;
    std::int32_t performM = 2;
    double rmin = 1e-6;
};

// One row of the table. Exactly one of intValue and doubleValue is set, by the type.
struct GlobalOptionRow {
    std::int32_t id;  // 200..235, 238, 239: the Global Settings control id
    const char* name;
    std::int32_t GlobalOptionValues::*intValue;
    double GlobalOptionValues::*doubleValue;
    const char* defaultText;
    GlobalOptionType type;
    std::uint16_t dialectMask;
    // Accepted values: above (or from, when lowInclusive) low, up to high. A value outside
    // is refused with a message naming the range.
    double low;
    bool lowInclusive;
    double high;
};

extern const std::array<GlobalOptionRow, kGlobalOptionCount> kGlobalOptionsTable;

std::span<const GlobalOptionRow> GlobalOptionsTable();

// The row index of an exact (upper-case) option name; -1 when none.
int FindGlobalOption(std::string_view name);

struct GlobalOptionsState {
    GlobalOptionValues values;
    // NUMDGT of a text netlist: digits of printed values; -1 when not given.
    std::int32_t numdgt = -1;
    // The integration method in use: the Global Settings' METHOD, overwritten by .OPTIONS.
    std::int32_t integrationMethod = kMethodTrap;
    // The values and method of the Global Settings, which every circuit build starts from; until
    // they are given (batch jobs without settings, tests) a build starts from the table defaults.
    bool settingsGiven = false;
    GlobalOptionValues settings;
    std::int32_t settingsMethod = kMethodTrap;
};

GlobalOptionsState& GlobalOptions();
void ResetGlobalOptionsForTests();

// Value accessors by row (the double of an integer row is converted).
double GlobalOptionValue(int row);
bool GlobalOptionInRange(int row, double value);

// Sets a row's variable from a text read as the row's type reads it (engineering number or
// integer). 0, or 11897 for a text that is not a number; the variable is then unchanged. No
// range check: the Global Settings texts go through this and are clamped by their owner.
int SetGlobalOptionFromText(int row, std::string_view text);

// Keeps the option variables and the integration method now in use as the Global Settings.
void KeepGlobalOptionsAsSettings();

// What a circuit build starts from: every variable and the integration method as the Global
// Settings give them, or, before any are given, from its row's default text and TRAP.
void SetGlobalOptionsToDefaults();

// Reads the .OPTIONS/.OPT statements of a list of circuit text objects (CircuitTextObject
// nodes) in list order into the option variables. NUMDGT is an option only in a text
// netlist's own window. 0, or 15055 after the first error has been reported; values stored
// before the error stay.
int ParseOptionsStatements(const LinkedList& textObjects, bool textNetlistWindow);
// The same over the circuit's text objects, NUMDGT being taken when the current window is a
// text circuit window.
int ParseOptionsStatements();

// One statement's text behind its keyword, already upper case and with its defines
// substituted; the text object (may be null) is shown as the error location. 0 or 15055.
int ParseOptionsText(std::string_view text, bool textNetlistWindow, const CircuitTextObject* textObject = nullptr);

}  // namespace kq5
