#pragma once
// The save-file question of the document windows: a file name for a window of a kind (1
// schematic, 2 text circuit, 3 model library), starting from the window's title.
//
// The answers are queued: the next queued name is taken; with none queued the common save dialog
// asks (with the kind's filter), which headless runs answer from its own script or count as
// cancelled.
#include <string>

namespace kq5 {

struct WindowRecord;

// The chosen file name, or an empty text when the user cancelled.
std::string AskSaveFileNameByKind(WindowRecord* record, const std::string& startName, int kind);

// Queues the name given by the next question (first queued, first used).
void PushSaveFileNameAnswer(const std::string& name);
void ResetSaveFileDialogForTests();

}  // namespace kq5
