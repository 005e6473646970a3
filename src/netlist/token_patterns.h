#pragma once
// Small option lists read by pattern ("<[Z0=%f][TD=%f]>": keywords, optional items in any
// order, typed values), the checks that part, node, define and model names pass, and the name
// tables that make part and node lookup fast on large circuits.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace kq5 {

struct SchematicItem;
struct CircuitTextObject;
struct PartInstanceRecord;

// One output of a pattern conversion, in pattern order: %g a double, %f a float, %t a double
// and its given flag, %d an integer.
struct PatternOutput {
    double* number = nullptr;
    float* single = nullptr;
    int* integer = nullptr;
    std::int32_t* given = nullptr;

    PatternOutput(double* value) : number(value) {}
    PatternOutput(float* value) : single(value) {}
    PatternOutput(int* value) : integer(value) {}
    PatternOutput(double* value, std::int32_t* givenFlag) : number(value), given(givenFlag) {}
};

// Matches the text against the pattern, storing the values found. Elements: '<' ... '>' a
// group whose optional items may come in any order; '[' ... ']' an optional item; a word a
// keyword (case-blind); '=' or ',' a separator after a matched keyword; %g %f %t %d values;
// %* skips a text token. 0, or 15055 after one reported message (11900, 11902 or 11903 at the
// component).
int MatchTokenPattern(const SchematicItem* component, std::string_view text, std::string_view pattern,
                      std::span<const PatternOutput> outputs);
inline int MatchTokenPattern(const SchematicItem* component, std::string_view text, std::string_view pattern,
                             std::initializer_list<PatternOutput> outputs)
{
    return MatchTokenPattern(component, text, pattern, std::span<const PatternOutput>(outputs.begin(), outputs.size()));
}

// Flags of CheckLabelName.
inline constexpr unsigned kLabelCheckDefine = 0x01;     // a define of the scope has the name
inline constexpr unsigned kLabelCheckPart = 0x02;       // a part of the scope has the name
inline constexpr unsigned kLabelCheckModel = 0x04;      // a model of the scope and type has it
inline constexpr unsigned kLabelCheckChars = 0x08;      // only label characters
inline constexpr unsigned kLabelCheckNode = 0x10;       // a node label of the scope has the name
inline constexpr unsigned kLabelCheckReport = 0x20;     // report the failure
inline constexpr unsigned kLabelCheckDots = 0x40;       // '.' is allowed
inline constexpr unsigned kLabelCheckValidLabel = 0x80; // starts with a letter or '_'

// 1 when the name fails a check, else 0 (see the flags).
int CheckLabelName(std::string_view name, int scope, unsigned flags, const SchematicItem* component, int modelType);

// 1 unless the name starts with a letter or '_' and holds only letters, digits and '_'.
int IsIllegalIdentifier(std::string_view name);

// The part record of that name: scope -1 searches every part, 0 the top level, a scope above 0
// the name qualified with the scope's instance path. Null when none.
PartInstanceRecord* FindPartByNameInScope(std::string_view name, int scope);

// The name tables: every non-empty name, whatever its bytes; an empty name is never found.
void InsertPartName(std::string_view name, PartInstanceRecord* record);
// The same for a part name (upper case) qualified with the instance path of the scope.
void InsertScopedPartName(int scope, std::string_view name, PartInstanceRecord* record);
PartInstanceRecord* LookupPartName(std::string_view name);
void InsertNodeName(std::string_view name, std::int32_t number);
std::int32_t LookupNodeNameTrie(std::string_view name);
// The same for a node name qualified with the instance path of the scope (0: not qualified).
void InsertScopedNodeName(int scope, std::string_view name, std::int32_t number);
std::int32_t LookupScopedNodeName(int scope, std::string_view name);
void FreeNameTries();
// Gives back the room the part and node name tables grew into, once the parts are made.
void ShrinkNameTables();

// Shows where an error in a symbol's origin lies: kinds 0, 4 and -1 show the object, kinds 1
// and 3 name the scope's source.
void ShowPartErrorLocation(int scope, const SchematicItem* item, const CircuitTextObject* text, int originKind);

}  // namespace kq5
