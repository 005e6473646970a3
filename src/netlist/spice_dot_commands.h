#pragma once
// Line dispatch of SPICE text: an element letter goes to its parser, a '.' word to the row of
// the dot-command table that names it. The same table gives the context help of a '.' word.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

struct WindowRecord;
struct NetlistTextObject;

// Kind bits of a dot-command row.
inline constexpr unsigned kDotInSchematic = 1;  // known in the texts of a schematic
inline constexpr unsigned kDotInSpice = 2;      // known in SPICE text

using DotCommandHandler = int (*)(std::string_view line);

struct DotCommandRow {
    const char* name;  // without the dot
    int id;            // help context id; 0 none
    unsigned kind;
    DotCommandHandler handler;  // null: accepted, nothing done
};

inline constexpr int kDotCommandCount = 32;
const std::array<DotCommandRow, kDotCommandCount>& DotCommandTable();

// Runs the handler of the tokenised line. 0, or a status (15055 after a report).
int DispatchNetlistLine(std::string_view line);
int DispatchDotCommand(std::string_view line);

// The file name after the command word, without its quotes and surrounding blanks. 0, or
// 15055 after reporting 15047 when only one end is quoted.
int ParseIncludeFileName(std::string& name, std::string_view line);

// Adds the assignments of a .PARAM text record (tokens from token 1 of the current line) as
// parameters of the record's scope. 0 or 15055.
int EvaluateParamAssignments(const NetlistTextObject& record);
// Tokenises a record's .PARAM text (continuations joined) and adds its assignments.
int EvaluateParamText(const NetlistTextObject& record);

// Appends a text object holding the text to the circuit: its line number, scope and (for a
// line read from a file) its source file. Null when memory runs out.
NetlistTextObject* AddCircuitTextObject(std::string_view text, int lineNumber = 0, int scope = 0,
                                        std::string_view sourceFile = {});

// The section word of ".LIB file section" (a library of another simulator that holds one variant
// of its models per section); empty when the line names a file alone.
std::string LibrarySectionWord(std::string_view line);

// Registers a library named by .LIB (an empty name stands for the default library). 0 or a
// reported status.
int RegisterCircuitLibrary(std::string_view name);
// The libraries registered for the circuit being read, in order (full paths).
const std::vector<std::string>& CircuitLibraries();

// Context help of a text window: a '.' word at the caret's line opens its dot-command topic,
// an element letter its component type's topic.
void ShowTextWindowContextHelp(WindowRecord* record);
// The help context of the dot command that begins the text for that window kind; 0 when none.
int DotCommandHelpContext(std::string_view text, bool schematic);
void ShowDotCommandHelp(WindowRecord* record, std::string_view text);

}  // namespace kq5
