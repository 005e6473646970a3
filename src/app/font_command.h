#pragma once
// The Font command (17452): the font dialog for the active window's font, which the window's
// record keeps and its text control shows.
#include "core/font_description.h"

namespace kq5 {

struct WindowRecord;

void FontCommand();
// SetRecordTextFont and ApplyRecordTextFont are in document/record_font.h.

}  // namespace kq5
