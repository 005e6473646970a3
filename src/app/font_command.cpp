#include "app/font_command.h"

#include "ui/frame_state.h"
#include "ui/font_select.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "document/record_font.h"
#include "analog/run_windows.h"
#include "document/circuit_document.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "schematic/edit_commands.h"

namespace kq5 {

namespace {

bool IsEmpty(const FontSpec& spec) { return spec.height == 0 && spec.face == 0 && spec.style == 0; }

}  // namespace

void FontCommand()
{
    WindowRecord* record = GetActiveChildRecord();
    if (record == nullptr) return;
    FontSpec spec = GetRecordFontSpec(record);
    // A window that has not had a font of its own starts from its document's text font.
    if (IsEmpty(spec) && record->document) spec = record->document->numOutFont;
    if (!ChooseFontSpec(Frame().frame, spec)) return;
    SaveWindowFontForUndo(record);
    if (record->document) record->document->numOutFont = spec;
    ApplyRecordTextFont(record, spec);
}

}  // namespace kq5
