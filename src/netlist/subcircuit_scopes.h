#pragma once
// The expansion of a whole circuit: schematic macros copied in place under scopes of their own,
// the nodes of every scope named, SPICE subcircuit calls expanded, and the node domains
// numbered. After ExpandCircuit every component's pin nodes hold the number of its net in the
// pin's domain (analog nodes from 1, digital nodes from 1, ground 0), and the circuit's node-name
// table names every net.
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

struct CircuitDocument;
struct SchematicItem;
struct NetlistTextObject;

// Expands the current circuit. Returns the build-failed flag (0 or 1), 15002 when memory ran
// out before anything was reported.
int ExpandCircuit(bool expandMacros, SchematicItem* onlyComponent, bool withSubcircuits);

// Frees the items of the X lines that nothing reads once the circuit is built (those without
// parameter or text mappings, which name their item as the defines' origin) with their parts,
// which make no device, and the parts' names; their scopes keep their paths and definitions.
// For a run that builds each case afresh from the circuit's text.
void ReleaseLineCallItems(CircuitDocument& document);

// Expands one macro instance; the build-failed flag.
int ExpandMacroInstance(SchematicItem* component);

// The macro name and parameters of an instance's VALUE ("AMP(10,1K)"): the file path, with the
// parameter texts in out. 0, or 1 after reporting 10874.
int ParseMacroCall(SchematicItem* component, std::string& macroName, std::vector<std::string>& parameters,
                   bool& hasParameterList, std::string& path);

// Splits "A, (B,C) ,D)" (the text after '(') at the commas of depth 0 up to the closing ')':
// trimmed pieces, empty ones dropped. The number of pieces, or -1 when the ')' is missing or
// anything but blanks follows it.
int SplitCallArguments(std::vector<std::string>& out, std::string_view text);

// The instance path (the parent's path, '.', the instance's PART) and base name of a scope.
void SetScopeNames(int scope, std::string_view baseName);

// Binds the instance pin named by the text (case-blind) to the macro node. 0, or 15055 after
// 10953 (a pin on ground) or 10951 (two pins on one node).
int BindMacroPin(SchematicItem* component, std::vector<std::int32_t>& pinMap, std::string_view text,
                 std::int32_t node);
// 0, or 15055 after reporting 10877 with the unbound pin names.
int CheckPinsBound(SchematicItem* component, const std::vector<std::int32_t>& pinMap);
// Maps the macro's node numbers onto the circuit's.
void MapMacroNodes(int scope, const std::vector<std::int32_t>& pinMap);
// Reports 10873 with the required and supplied parameter lists (either may be absent).
void ReportParameterMismatch(SchematicItem* component, const std::string* required);

// For an .INCLUDE or .INC text: reads the named file's definitions into the scope. 0, or 1
// after an error.
int ReadIncludeDefinitions(std::string_view text, int scope);

}  // namespace kq5
