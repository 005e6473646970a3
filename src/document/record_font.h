#pragma once
// The text font of a window: the record keeps its description and font, and the text control of
// its document shows it.
#include "core/font_description.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// Stores the font and hands it to the text control of the record's document.
void SetRecordFont(WindowRecord* record, win::HFONT font, bool redraw);
// Stores the description in the record, makes its font (the old one deleted) and gives it to the
// record's text control.
void SetRecordTextFont(WindowRecord* record, const FontSpec& spec);
// The same, then the text control gets the focus back and the window is redrawn.
void ApplyRecordTextFont(WindowRecord* record, const FontSpec& spec);

}  // namespace kq5
