#pragma once
// Line counts of the program's text windows, as the netlist readers see them.

namespace kq5 {

struct WindowRecord;

// The number of lines of the window's text, as its editor counts them: an empty text is one
// line, and every line break starts another. 0 for a null record.
int GetTextWindowLineCount(const WindowRecord* record);

}  // namespace kq5
