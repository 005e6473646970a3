#pragma once
// Import of circuit files of the previous generation: banner files of version 4.00 ("Kestrion
// IV"). They are read through the banner file's routines with the simpler records below, their
// texts are converted to the current expression syntax and component conventions as they are
// read, and the loaded circuit is converted as a whole at the end. Such files are never written.
#include <cstdint>
#include <string>
#include <string_view>

namespace kq5 {

struct SchematicItem;
struct WindowRecord;

constexpr int kMsgOldFileBadFormat = 15009;

// One 4.00 item record (definition name; x, y, orientation; a count n and n + 1 ignored fields;
// the component's text), made into a converted component. A component whose definition is
// missing is read and dropped. 0 or a message id.
int ReadOldItemRecord(WindowRecord* record, int unit, std::uint32_t options);

// One 4.00 grid text record (x, y, number, font height, an ignored field, style bits, text) made
// into a converted grid text. 0 or a message id (15009 for a ".pin" text without a pin letter).
int ReadOldGridTextRecord(WindowRecord* record, int unit, std::uint32_t options);

// The option text of an analysis kind turned into its plot option word.
std::uint32_t OldOptionTextToWord(std::string_view text, int analysisKind);

// Every "^" becomes "**" (a text that begins with "^" is left as it is).
std::string ConvertCaretToDoubleStar(std::string_view text);
// "el" is inserted after a "D" or "d" that begins a word and is followed (after blanks) by "(".
std::string ConvertDerivativeName(std::string_view text);
// A limits expression of the previous generation in the current syntax.
std::string ConvertOldLimitsExpression(std::string_view text);

// A Short component becomes a wire between its two pin points.
void ConvertOldShortToWire(SchematicItem& item);

// Plot objects take their second colour as their colour; closed graphic objects other than
// pictures get a border and their colour as fill colour, every other object its colour as fill.
void ConvertOldObjectColours(WindowRecord* record);
// Limits rows: plot group from the old colour bits, enabled, empty ranges; pages named
// "Page %d" from 1.
void ConvertOldLimitsRows(WindowRecord* record);

// The conversion of the whole loaded circuit at the end of a 4.00 body: attributes set again,
// old-style attribute texts split, unknown dot commands commented out (".MUTUAL" lines becoming
// coupling components), temperature coefficients and lot tolerances of resistors, capacitors and
// inductors moved into new models, old "db" node names rewritten. 0 or 15002.
int ConvertOldCircuit(WindowRecord* record);

}  // namespace kq5
