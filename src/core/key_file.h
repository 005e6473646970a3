#pragma once
// Section-and-key text files: the settings file, the sectioned circuit file and several library
// files. A section starts with "[name]"; its lines are "key=value". Keys are written in mixed case
// and compared in upper case. Empty lines and lines beginning with ';' are comments.
//
// One routine per section serves both directions, by the unit's mode: writing calls WriteSection
// and one writer per key in a fixed order; reading calls ReadKeyLine until the end of the file or a
// line beginning with '[', splits each line with SplitKeyLine and lets the matching key parse its
// value; unknown keys are ignored.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/font_description.h"
#include "platform/window.h"

namespace kq5 {

// Writers; each returns the unit's error as UnitPrintf does.
// "\n" first unless the stream stands at offset 0, then "[name]".
int WriteSection(int unit, std::string_view name);
// A value with line breaks is kept on one line (each break stored as 0xFE); an empty value writes
// the key alone on its line.
int WriteKeyString(int unit, std::string_view key, std::string_view value);
int WriteKeyInt(int unit, std::string_view key, int value);
int WriteKeyDouble(int unit, std::string_view key, double value);
// A packed version (major << 16 | minor) as "%d.%02d".
int WriteKeyVersion(int unit, std::string_view key, std::int32_t version);
int WriteKeyYesNo(int unit, std::string_view key, bool flag);
int WriteKeyOnOff(int unit, std::string_view key, bool flag);
// Flags, show command, minimised x and y, maximised x and y, normal left, top, right, bottom.
int WriteKeyPlacement(int unit, std::string_view key, const win::WINDOWPLACEMENT& placement);
// "Height=%d,FStyle=%d,Color=%d,Name=%s".
int WriteKeyFont(int unit, std::string_view key, const FontSpec& font);
// One key per field that differs from the default: "Height", "FStyle", "Color", "Font".
int WriteFontChanges(int unit, const FontSpec& font, const FontSpec& defaultFont);

// Readers.
// The next line that is neither empty nor begins with ';', trimmed. At the end of the file the line
// is empty and the result 0; another read error is returned.
int ReadKeyLine(int unit, std::string& line);
// The next non-empty line read as a multi-line text (0xFE back to line breaks); at the end of the
// file an empty text and 0.
int ReadNonEmptyTextLine(int unit, std::string& text);
// Splits at the first '=': the key in upper case and the value, both trimmed. Without '=' the
// whole line in upper case is the key and the value is empty.
void SplitKeyLine(std::string_view line, std::string& key, std::string& value);
// Takes the first comma-separated item off a list text (leading blanks dropped) into the
// destination; the text keeps what followed the comma. Returns the destination.
std::string& SplitKeyValue(std::string& destination, std::string& text);
// The next item of a list text as an integer or a double (C conversion rules; malformed reads 0).
int ReadKeyInt(std::string& text);
double ReadKeyDouble(std::string& text);
// The ten numbers of WriteKeyPlacement. The placement is valid (its length set) only when the
// normal rectangle's left and right differ.
void ReadKeyPlacement(std::string_view text, win::WINDOWPLACEMENT& placement);
// In a list of comma-separated key=value pairs, the trimmed value of the first pair whose key
// equals the given key case-blind; empty when absent. Values cannot contain commas.
std::string GetListKeyValue(std::string_view text, std::string_view key);
int GetListKeyInt(std::string_view text, std::string_view key);
// Each of "Height", "FStyle", "Color" and "Name" that is present sets its field; the others are
// left as they are.
void ReadKeyFont(std::string_view value, FontSpec& font);
// A colour table index: negative values read as 0, values above 63 as 63.
std::uint8_t ReadColorIndex(std::string_view text);
bool IsYes(std::string_view value);
bool IsOn(std::string_view value);

// "major.minor" to (major << 16) | minor: at most two minor digits, a single one counting as tens
// (5.3 is 5.30); without '.' the minor part is 0; the major part is kept to 16 bits.
std::int32_t ParseVersionNumber(std::string_view text);
std::string FormatVersionNumber(std::int32_t version);

// The marker line ":**** name ****" (name in lower case) of the banner circuit file: written, or
// read and compared exactly (15009 when it differs).
int TransferSectionMarker(int unit, std::string_view name);

}  // namespace kq5
