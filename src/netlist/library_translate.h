#pragma once
// The Translate menu's library commands: the models of a binary library window written as a
// SPICE text library, and the .MODEL statements of a text window read into a new binary library.
#include <string>

namespace kq5 {

struct WindowRecord;
struct ModelLibrary;

inline constexpr int kCommandLibraryToText = 17135;
inline constexpr int kCommandTextToLibrary = 17136;

// Command 17135: the models of the active model library window as .MODEL lines of a text file,
// which is then shown in a text window. Without a file name the save question asks for one (an
// empty answer ends the command). 0, or 15055 after reporting a failure.
int TranslateLibraryToText(WindowRecord* active, std::string fileName = {});

// Command 17136: every .MODEL statement outside the subcircuits of the active text window,
// evaluated, becomes an entry of a new library window, which is saved under the file name (asked
// for when none is given). `created` receives the new library (null when none was made). 0, or
// 15055 after reporting a failure.
int TranslateTextToLibrary(WindowRecord* active, std::string fileName = {}, ModelLibrary** created = nullptr);

}  // namespace kq5
