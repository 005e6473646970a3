#pragma once
// .DEFINE and .PARAM symbols and their substitution. Every text the circuit build reads
// (attribute values, node and model names, statements) passes through SubstituteDefines: whole
// tokens equal to a symbol are replaced by its text and the result is scanned again, so symbols
// may name other symbols. A .DEFINE belongs to its scope and applies everywhere in it; a .PARAM
// applies in every scope, but only between braces.
#include <string>
#include <string_view>
#include <vector>

#include "netlist/spice_reader_state.h"

namespace kq5 {

struct SchematicItem;
struct CircuitTextObject;

// Origin kinds: where a symbol came from.
inline constexpr int kOriginSchematic = 0;     // schematic text or component
inline constexpr int kOriginSubcktText = 1;    // SPICE text inside a subcircuit scope
inline constexpr int kOriginSubcktParams = 3;  // parameters passed to a subcircuit instance
inline constexpr int kOriginExport = 4;        // a component during export
inline constexpr int kOriginNone = -1;

struct DefineOrigin {
    const SchematicItem* item = nullptr;
    const CircuitTextObject* text = nullptr;
    int kind = kOriginNone;
};

// Substitutions allowed in one SubstituteDefines call before the text counts as endless.
inline constexpr int kMaxSubstitutions = 10000;

// Parses a ".DEFINE name[(args)] body" text. 0 when the text is no .DEFINE or the symbol was
// added, 1 after an error was reported.
int ParseDefineStatement(std::string_view text, int scope, const DefineOrigin& origin);

// Adds a symbol; argumentList is the "(A,B)" text or empty. 0, or 1 after a reported error.
int AddDefine(std::string_view name, std::string_view argumentList, std::string_view body, int scope,
              const DefineOrigin& origin, int defineClass);

// 1 after reporting 10880 (a reserved expression name) or 10887 (not an identifier), else 0.
int CheckDefineName(std::string_view name, int scope, const DefineOrigin& origin, bool hasArguments);

// The text upper-cased with every symbol of the scope substituted. 0, or 15055 after a report.
int SubstituteDefines(std::string& out, int scope, std::string_view text);

// The same for a list of "name=value" mappings, whose names stay as they are: a parameter
// handed down under its own name (PARAMS: R={R}) names the called scope's parameter.
int SubstituteMappingValues(std::string& out, int scope, std::string_view text);

// Substitutes the bodies of the scope's symbols without arguments, in table order.
int ExpandDefineBodies(int scope);

// The row of the symbol of that scope and name (case-blind); -1 when none.
int FindDefine(int scope, std::string_view name);

// The component's attribute with its defines substituted in the component's scope; empty when
// the attribute is missing or empty or the substitution failed.
std::string ExpandAttributeDefines(const SchematicItem* component, int attributeId);
// The same for a formula that a netlist wrote between braces (VALUE={...}), which its part
// keeps without them: .PARAM values are substituted as in a brace group.
std::string ExpandFormulaDefines(const SchematicItem* component, int attributeId);

// The component's PART text, qualified with its scope's instance path when asked (and the scope
// is above 0), upper case; empty when there is none.
std::string GetPartNameText(const SchematicItem* component, bool qualify);

// Reads the .PARAM lines of the libraries the first time a build meets a brace.
void LoadLibraryParamsOnce();

// The next token of a define scan: separators are skipped, '{' and '}' are tokens of their
// own. Starts at `from`; gives the token's start and length, false at the end.
bool NextDefineToken(std::string_view text, std::size_t& from, std::size_t& start, std::size_t& length);

// The define table.
std::vector<DefineRow>& DefineTable();
void ClearDefineTable();
// True when a symbol of that name (any class) belongs to the scope.
bool DefineExistsInScope(std::string_view name, int scope);

}  // namespace kq5
