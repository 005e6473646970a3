#pragma once
// Subcircuit calls: an X line (or a subckt component of a schematic) names a .SUBCKT definition
// in the circuit's text, an included file or a library. Its expansion opens a scope, binds the
// definition's formal pins, OPTIONAL: pins and PARAMS:/TEXT: values to the call, and reads the
// body through the normal line dispatch so that its elements become components of the scope.
#include <string>
#include <string_view>

namespace kq5 {

struct SchematicItem;

// Kind letters of the call mapping attributes ("$.O NAME", "$.P NAME", "$.T NAME").
inline constexpr char kMapOptional = 'O';
inline constexpr char kMapParam = 'P';
inline constexpr char kMapText = 'T';

// Expands one call in the scope made for it (the current scope). 0, or 15055 after a report.
int ExpandSubcircuitCall(SchematicItem* call);
// Forgets what the calls expanded so far noted of their scopes' definitions; an expansion of
// the circuit begins with it.
void ForgetEnclosingDefinitions();

// Opens the file that defines the subcircuit: through the circuit's libraries (and the given
// library, registered for the search). The unit positioned at the definition, or -1.
int OpenSubcktSource(std::string_view name, std::string_view library);

// Stores the file name (resolved against the data directories) as the scope's file.
void SetScopeFileName(std::string_view fileName, int scope);

// Parses "name = value" at the token index into the call mapping attribute of the kind; the
// index moves past it. Header defaults (fromHeader) do not overwrite a value the call gave, and
// PARAMS: values also become parameters of the scope. 0 or 15055.
int AddCallMapping(SchematicItem* call, char kind, int& index, bool fromHeader);

// For a call of a macro component (not a generated definition): the pin of the part whose
// default name equals the formal name, else 10904 and -1. Other calls: the pin index as given.
int CheckCallPinName(const SchematicItem* component, std::string_view pinName, std::string_view subcktName,
                     int position);

// The node name an OPTIONAL: pin of the current call stands for (the name itself when none).
std::string MapOptionalPinName(std::string_view name);
// The value a PARAMS: name of the current call stands for; false when the name is none.
bool MapParamName(std::string_view name, std::string& value);

}  // namespace kq5
