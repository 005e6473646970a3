#pragma once
// Texts of the program's string table as resources: LoadString gives the text of an id exactly as
// the table holds it (message markers such as "%E" included).
#include <string>

#include "platform/win_types.h"

namespace win {

// Returns the text's length, or 0 (with out emptied) when the table has no such id.
int LoadString(HINSTANCE instance, UINT id, std::string& out);
// The text, or an empty string when the table has no such id.
std::string LoadString(UINT id);

}  // namespace win
