#pragma once
// The Font command (17452): the font dialog for the active window's font, which the window's
// record keeps and its text control shows.
#include "core/font_description.h"

namespace kq5 {

struct WindowRecord;

void FontCommand();
// Stores the description in the record, makes its font (the old one deleted) and gives it to the
// record's text control.
void SetRecordTextFont(WindowRecord* record, const FontSpec& spec);
// The same, then the text control gets the focus back and the window is redrawn.
void ApplyRecordTextFont(WindowRecord* record, const FontSpec& spec);

}  // namespace kq5
