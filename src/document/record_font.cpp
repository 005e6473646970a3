#include "document/record_font.h"

#include "ui/font_select.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "document/circuit_document.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/window.h"

namespace kq5 {

void SetRecordFont(WindowRecord* record, win::HFONT font, bool redraw)
{
    if (record == nullptr) return;
    record->fontHandle = font;
    win::HWND text = record->document ? record->document->textAreaWindow : nullptr;
    if (text) win::SendMessage(text, win::WM_SETFONT, reinterpret_cast<win::WPARAM>(font), redraw ? 1 : 0);
}

void SetRecordTextFont(WindowRecord* record, const FontSpec& spec)
{
    if (record == nullptr) return;
    SetRecordFontSpec(record, spec);
    win::HFONT old = GetRecordFont(record);
    SetRecordFont(record, CreateFontFromSpec(spec), true);
    if (old) win::DeleteObject(old);
}

void ApplyRecordTextFont(WindowRecord* record, const FontSpec& spec)
{
    if (record == nullptr) return;
    SetRecordTextFont(record, spec);
    if (record->document && record->document->textAreaWindow) win::SetFocus(record->document->textAreaWindow);
    InvalidateWindowRecord(record);
}

}  // namespace kq5
