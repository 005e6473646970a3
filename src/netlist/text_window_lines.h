#pragma once
// Line counts of the program's text windows, as the netlist readers see them, and the text
// windows read as files.

namespace kq5 {

struct WindowRecord;

// The number of lines of the window's text, as its editor counts them: an empty text is one
// line, and every line break starts another. 0 for a null record.
int GetTextWindowLineCount(const WindowRecord* record);

// Lets the file units read a file open in a text window from the window (TextWindowFiles in
// core/file_units.h). Start-up calls it before any file is read; so does every test program.
void InstallTextWindowFiles();

}  // namespace kq5
