#pragma once
// SPICE text as the readers see it: logical lines (a statement with its '+' continuation lines
// joined, comment lines and ';' comments removed, folded to upper case) read from numbered file
// units, and the stack of open sources of a text pass: the circuit's own text at level 0 and
// the .INCLUDE files above it.
#include <cstddef>
#include <string>
#include <string_view>

namespace kq5 {

// Flags of ReadLogicalLine.
inline constexpr unsigned kReadRaw = 0x1;       // keep the text as written: case, comments, breaks, '+'
inline constexpr unsigned kReadDotLines = 0x2;  // memory texts: skip lines that do not begin with '.'

// What one statement and one netlist or include file may hold. Beyond them a text is surely
// not a netlist (a device, a binary file, a runaway generator) and is refused with a message
// rather than read until memory runs out.
inline constexpr std::size_t kMaxStatementChars = std::size_t{8} << 20;
inline constexpr long long kMaxNetlistFileBytes = 256LL << 20;

// Opens a file above the top source: 0, the open error, or 15055 after reporting 10907 when 14
// files are already nested, or a message when the name is no regular file or one larger than
// kMaxNetlistFileBytes. The name is looked for as the data directories say.
int PushIncludeSource(const std::string& name);
// 0, or 15055 after a message naming the text when it is larger than kMaxNetlistFileBytes.
int CheckNetlistSize(std::string_view name, long long bytes);
// Closes the top source and lowers the level.
void PopIncludeSource();
// Pops every source down to level -1.
void PopAllSources();
// Makes a unit reading the window's text the level-0 source; its unit, or -1 with a status.
int OpenLevelZeroSource(int& unit);
// The unit of the top source; -1 when none is open.
int TopSourceUnit();
int IncludeLevel();
// Name of the top source (window title or file name); empty when none.
std::string TopSourceName();

// Whether the unit still has lines: a memory text while its read position is below its
// length, a text window while lines remain, a file until its end.
bool SourceHasMoreLines(int unit);
// As SourceHasMoreLines, but a finished include file hands over to the source below it.
bool NextSourceWithLines(int unit);

// The next physical line of a unit, its trailing white space removed, counted. 0, or 15007 at
// the end of the source.
int ReadUnitLine(int unit, std::string& line);

// Moves a unit to a read position told by TellUnitPosition, with the line counter it had there.
int SeekUnit(int unit, long position, int line);

// Read position of a unit: the offset into its text (memory texts and text windows) or the
// file position.
long TellUnitPosition(int unit);

// Reads one logical line into the text (replacing it). 0 on success; the text is empty when a
// dot-lines-only read skipped a line. 15055 when memory ran out (the unit is then closed and
// the build marked failed) or after a message when the statement is longer than
// kMaxStatementChars (nothing beyond the limit is read).
int ReadLogicalLine(int unit, std::string& line, unsigned flags = 0);
// ReadLogicalLine with flags 0; on failure a text window shows the statement that was read.
int ReadLogicalLineShowingError(int unit, std::string& line);

// The logical-line start (0-based line counter before the last logical line was read).
int LogicalLineStart();

// The line clean-up that removes comment lines, continuation marks and ';' comments (the SPICE
// export switches it off while it copies text as written).
void SetLineCleanup(bool on);

// Turns CR and LF into blanks and squeezes runs of blanks to one (in place).
std::string& CollapseLineBreaks(std::string& text);
// Blanks comment lines, continuation marks and ';' comments of a multi-line text.
std::string& BlankTextComments(std::string& text);

}  // namespace kq5
