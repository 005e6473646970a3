#pragma once
// The circuit build: turns the active circuit document, schematic or text netlist, into the
// simulator's tables. Definitions first (the optional DEF.KQ5, the circuit's text objects),
// then the SPICE text of a text netlist, the expansion of subcircuit and macro calls, one
// translation per component into the device lists, the couplings and other post-passes, the
// expressions of the devices, and the topology checks.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "netlist/circuit_build_errors.h"

namespace kq5 {

struct SchematicItem;
struct WindowRecord;
struct CircuitDocument;
struct ListNode;
struct EvaluatedModel;

inline constexpr const char* kDefaultDefinitionsFile = "DEF.KQ5";

struct CircuitBuildState {
    bool preparing = false;     // PrepareCircuit or PrepareDefinitions runs
    bool groundFound = false;   // a Ground, an ANALOG STATE or node "0" was met
    int realComponentCount = 0; // components of the top level that are not connections
    int componentCounter = 0;
    bool built = false;         // the document's built flag: set by every build
    bool pathWindow = false;    // building for the digital path window: no loop and DC checks
    std::array<std::int32_t, 2> lastBuildNodeCounts{};  // analog, digital
    double inverseGmin = 1e12;  // 1/GMIN for the device code

    // What the build appended to the document is removed again by the teardown.
    WindowRecord* buildWindow = nullptr;
    SchematicItem* itemMark = nullptr;  // last item before the build; null: the list was empty
    ListNode* textMark = nullptr;
    bool marksSet = false;

    std::string lastProgressText;  // the progress text last shown in the status bar

    // The digital simulator compiles the digital parts of a built circuit through this; 0 or a
    // reported failure. Without it a circuit's digital parts are left uncompiled.
    std::function<int()> digitalDeviceTables;
    // The analog kernel lets go of its run data through this (the SPICE export leaves nothing
    // behind for the next run); without it there are none to free.
    std::function<void()> freeRunData;
    // A stepped analysis gives each model a build evaluates from its statement the values of
    // the case that the build itself reads (a parasitic resistance decides there whether the
    // parts get inner nodes). Without it the statement's values stand.
    std::function<void(EvaluatedModel&)> modelEvaluated;

    // Counters of the usage statistics.
    std::array<std::uint32_t, 136> typeUsage{};
    int recordedCircuitSize = 0;

    // Internal nodes named after parts count here when a name is taken.
    int internalNodeCounter = 0;
    // Power supplies of digital interfaces already made, by name.
    std::vector<std::string> powerSupplies;
    // The AC signal warning of the last build (for batch and tests).
    bool acSignalWarning = false;
};

CircuitBuildState& CircuitBuild();
void ResetCircuitBuildForTests();

// Modes of the expansion.
inline constexpr int kBuildForAnalysis = 1;
inline constexpr int kBuildForPathWindow = 0;

// The whole build; when the user agreed to rename illegal part or define names during it, the
// names are changed and the circuit built a second time. 0 or 15055.
int BuildCircuitWithRenames(int mode);
int BuildCircuit(int mode);

// Flags of PrepareCircuit.
inline constexpr unsigned kPrepareResolveModels = 0x1;
inline constexpr unsigned kPrepareRebuildNetlist = 0x2;
inline constexpr unsigned kPrepareExpansionMode = 0x4;

// Definitions, SPICE reading, expansion, type counts and (when asked) every part's model, without
// devices. Returns the build-failed flag.
int PrepareCircuit(WindowRecord* record, SchematicItem* single, unsigned flags);
// Only the definitions of the window's circuit. Returns the build-failed flag.
int PrepareDefinitions(WindowRecord* record);

// The first phase of every build: reader state, scopes, DEF.KQ5 (unless skipped), the text
// objects' definitions, libraries, option defaults. 0 or a message id.
int BeginCircuitBuild(bool skipDefinitionsFile);

// DEF.KQ5 in the program directory; absent is not an error. 0, 15055 or the read failure.
int ReadDefaultDefinitionsFile();
std::string MakeDefaultDefinitionsPath();
// Reads the dot lines of a unit: .DEFINE lines define (also inside .SUBCKT blocks), every other
// dot line outside a .SUBCKT block becomes a circuit text object. 0 or 15055.
int ReadDefinitionLines(int unit);
// The definitions of the circuit: its text area, the text objects' defines, parameters, models
// and libraries. 0 or 15055.
int ReadCircuitDefinitions();

// Parts of FreeBuiltCircuit.
inline constexpr unsigned kFreeExpansion = 0x01;
inline constexpr unsigned kFreeDefines = 0x02;
inline constexpr unsigned kFreeScopes = 0x04;
inline constexpr unsigned kFreeAppendedItems = 0x08;
inline constexpr unsigned kFreeBuildWindows = 0x10;
inline constexpr unsigned kFreeModels = 0x20;
inline constexpr unsigned kFreeAddedAttributes = 0x40;
inline constexpr unsigned kFreeAddedDefinitions = 0x80;
void FreeBuiltCircuit(unsigned parts);

// The length of the dot keyword of row `row` (DotKeywordTable) at the start of the text when a
// separator follows it, else 0; .INCLUDE, .OPTIONS and .LIBRARY also try their short forms.
std::size_t MatchDotKeyword(std::string_view text, int row);
std::size_t MatchDotKeywordCase(std::string_view text, int row);

// Rows of the dot keyword table.
enum DotKeywordRow : int {
    kDotPoly = 0,
    kDotInclude = 1,
    kDotInc = 2,
    kDotParameters = 3,
    kDotDefine = 4,
    kDotIc = 5,
    kDotNodeset = 6,
    kDotOptions = 7,
    kDotOpt = 8,
    kDotSkipLLoop = 9,
    kDotModel = 10,
    kDotLibrary = 11,
    kDotLib = 12,
    kDotMacro = 13,
    kDotParam = 14,
    kDotLoadop = 15,
};

// The component pass: every component of the document is handed to its translator.
void RunComponentPass();
// Translates one component (the dispatch of the component pass).
void TranslateComponent(SchematicItem* component, int typeCode);

}  // namespace kq5
