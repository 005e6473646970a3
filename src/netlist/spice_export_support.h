#pragma once
// What the SPICE export's writers share: the export's state, the output line list and the text
// helpers on model parameters, parameter references and node names.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "netlist/spice_export.h"

namespace kq5 {

struct SchematicItem;
struct WindowRecord;
struct ModelStatement;

// One emitted text: several physical lines may stand in one text ("\n"-separated).
struct SpiceOutputLine {
    std::string text;
    bool hasText = true;   // false: the writer produced nothing for it
    int section = 0;       // 0 the main circuit, else the subcircuit definition
    bool sortable = true;
};

// An inductor current that the main circuit's .IC sets: the value, and whether the inductor's
// line carries it.
struct InductorHold {
    std::string value;
    bool written = false;
    bool warned = false;
};

struct SpiceExportRun {
    WindowRecord* record = nullptr;
    SpiceDialect dialect = kSpiceDialectPspice;
    unsigned analysisMask = 0;
    std::string title;
    std::string path;
    std::vector<SpiceOutputLine> lines;
    int highestSection = 0;
    int nodeNameCounter = 0;
    // Sections of copied SPICE text subcircuits, written as they stand.
    std::unordered_set<int> verbatimSections;
    // The SPICE names taken per scope (upper case), so that added elements never take one.
    std::unordered_map<int, std::unordered_set<std::string>> takenNames;
    // The analog nets of each scope (scope, node) that carry a global name, and the names the
    // global nets are written by (keyed by name, and in SPICE 2G by scope too).
    bool globalNetsMade = false;
    std::map<std::pair<int, std::int32_t>, std::string> globalNets;
    std::map<std::string, std::string> globalNodeNames;
    std::map<std::string, std::string> renamedGlobals;
    // The global nets of the SPICE text definitions, by definition name.
    bool textGlobalsMade = false;
    std::map<std::string, std::set<std::string>> textGlobals;
    // The inductor currents of the main circuit's .IC lines, by part name (upper case).
    bool inductorHoldsMade = false;
    std::map<std::string, InductorHold> inductorHolds;
};

SpiceExportRun& ExportRun();
bool Is2G();
bool IsSpice3();

// ---- output lines ----------------------------------------------------------------------
SpiceOutputLine& NewSpiceLine(int section);
SpiceOutputLine& AddSpiceLine(int section, std::string_view text, bool sortable = true);
void SortSpiceLines();
// 0, or 16000 + errno of a failed open, write or close (reported).
int SaveSpiceLines(const std::string& path);
std::string WrapSpiceLine(std::string_view text, int width);

// ---- options, models, control lines (control) ------------------------------------------
void ExportParamLines(int scope);
int ExportModelStatements(int scope);
void ExportControlLines();
std::string OptionsLineText();
std::string TempLineText(std::string_view temperatures);
// One item of an .IC or .NODESET line: a letter (upper case), one or two arguments and a value.
struct InitialItem {
    std::string letter, first, second, value;
    bool pair = false;
};
// The keyword and items of a line as the circuit build reads them; false when it reads otherwise.
bool ReadInitialItems(const std::string& line, std::string& keyword, std::vector<InitialItem>& items);
// An .IC or .NODESET line as SPICE 2G and Spice3 read it (PSpice: as it stands), with its line
// end and a warning for each item left out; a line of a copied SPICE text definition when
// inSubcircuit, whose inductor currents named in carried (upper case) are on the inductors' lines.
std::string InitialLineText(const std::string& line, bool inSubcircuit, const std::set<std::string>& carried = {});
// The inductor currents the main circuit's .IC lines set, by part name (SPICE 2G and Spice3,
// which take them on the inductors' lines).
std::map<std::string, InductorHold>& MainInductorHolds();
std::string ConvertExpressionToSpice(std::string_view text, int scope);
bool NeedsSpiceNamePrefix(std::string_view name);
std::string ModelNameText(std::string_view name);  // with the "_" prefix where needed
void AppendModelParameters(std::string& line, const ModelStatement& model);
int PrepareModelsForDialect();
// The Spice3 (ngspice MESFET) model line of a GaAsFET model, or "" when it has none.
std::string Spice3MesfetModelLine(const ModelStatement& model);

// Model parameter texts.
// The assignment of name in text ("NAME=value" as written), or "" when absent; with remove it
// is taken out of text.
std::string FindModelParam(std::string& text, std::string_view name, bool remove);
// Whether text assigns name at all.
bool ModelParamGiven(const std::string& text, std::string_view name);
// The value of the assignment; the default ("%lg", trailing fraction zeros removed) when absent.
// 0, or 15055 after reporting an assignment without "=".
int GetModelParamValue(const std::string& text, std::string_view name, double fallback, std::string& out);

// Parameter references in braces; with expression, a whole expression in braces too.
std::string BraceParamReferences(std::string_view text, int scope, bool expression);
// The same; without innerBraces the references inside a braced whole stay plain.
std::string BraceParamReferencesIn(std::string_view text, int scope, bool expression, bool innerBraces);
// Node names in a text mapped to export node names; upper-cased.
std::string MapNodeReferences(std::string_view text, int scope, bool brackets);

// ---- parts (parts) ---------------------------------------------------------------------
int ExportPartLines(int scope);
std::string MakeSpicePartName(std::string_view text, SchematicItem* component, int type, int scope);
std::string GetSpiceNodeName(std::int32_t node, int scope, const SchematicItem* component = nullptr, int pin = 0);
std::string GetExportPartName(const SchematicItem* component);
std::string NewExportNodeName(std::string_view prefix, int scope);
// A name for an element the export adds, unique in the scope, taken.
std::string AddedElementName(std::string candidate, int scope);
void RegisterPartNames();
void AppendUnsupportedComment(std::string& line, const SchematicItem* component, std::string_view partName);
void AppendSubcktArguments(std::string& line, const SchematicItem* component, char letter);
// The lines that hold the scope's capacitors at their IC= for the operating point (SPICE 2G,
// Spice3: an .IC, and a warning for each hold the dialect cannot write); "" when none.
std::string CapacitorHoldLines(int scope);
// A value text of the other sign: a number's sign changed, an expression in braces negated.
std::string NegatedValueText(const std::string& value);
std::string ComponentTypeName(const SchematicItem* component);
int ComponentScope(const SchematicItem* component);
bool IsGeneratedInterface(const SchematicItem* component);

// ---- global nets (globals) -------------------------------------------------------------
// Whether the dialect passes global nets to macro definitions as extra pins (SPICE 2G, Spice3).
bool GlobalNetsArePins();
// The global name ("$G_...", upper case) the net carries in the scope, or "".
std::string GlobalNetName(std::int32_t node, int scope);
// The name the dialect writes the global net by in the scope.
std::string GlobalNodeNameIn(const std::string& global, int scope);
// The global nets a macro's definition takes as extra pins, in the order of its .SUBCKT line.
std::vector<std::string> MacroScopeGlobals(int scope);
// The extra pins of a call of the macro scope made in the scope.
void AppendGlobalPins(std::string& line, int calledScope, int scope);
// A line of a SPICE text definition as copied: its global nets renamed where the dialect needs,
// and in a .SUBCKT line or a call the global nets its definition reaches as extra pins.
std::string CopiedLineWithGlobals(std::string line);

// ---- digital primitives (digital) ------------------------------------------------------
int ExportDigitalPrimitive(SpiceOutputLine& line, SchematicItem* component, std::string_view partName);

// ---- subcircuits (subckt) --------------------------------------------------------------
// The text of a definition's source: the circuit window's own text or a file.
bool SubcktSourceText(const std::string& file, std::string& text);
// A SPICE text's logical lines: each line with the "+" lines that continue it ("\n"-joined).
std::vector<std::string> SpiceTextLogicalLines(const std::string& text);
int ExportSubcircuits();
int ExportOpampMacromodel(SchematicItem* component, int section);

}  // namespace kq5
