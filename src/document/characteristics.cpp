#include "document/characteristics.h"

#include <vector>

#include "ui/dialog_services.h"
#include "ui/color_dialog.h"
#include "ui/settings_font.h"
#include "ui/color_table.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/record_font.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "platform/window.h"

namespace kq5 {

namespace {

const std::array<const char*, kCharacteristicsEntries> kEntryTexts = {
    "Text Area Color",    "Text Area Comment Color", "Text Area Background Color", "Wire Color",
    "Component Color",    "Select Color",            "Node Number Color",          "Node Voltage Color",
    "Pin Connection Color", "Select Box Color",      "Window Background Color",    "Digital Path Color"};

struct CharacteristicsDialog {
    WindowRecord* record = nullptr;
    std::array<int, kCharacteristicsEntries> colors{};
    std::array<int, kCharacteristicsEntries> saved{};
    FontSpec font;
    FontSpec savedFont;
    bool fontChanged = false;
    ColorPaletteGroup group;
};

int EntryCount(const WindowRecord* record) { return record && record->kind == kWindowSchematic ? kCharacteristicsEntries : 3; }

void EnableCharacteristicsFont(ColorPaletteGroup& group)
{
    const int entry = group.list ? static_cast<int>(win::SendMessage(group.list, win::LB_GETCURSEL, 0, 0)) : -1;
    win::EnableWindow(win::GetDlgItem(group.dialog, kCharacteristicsFont), entry <= 1 ? win::TRUE : win::FALSE);
}

// The window takes the working colours and font (the dialog stays open): the document keeps
// them, and the window's text is shown in them at once.
void ApplyToWindow(CharacteristicsDialog& d, const std::array<int, kCharacteristicsEntries>& colors, const FontSpec& font)
{
    if (!d.record || !d.record->document) return;
    d.record->document->numOutFont = font;
    StoreCharacteristicsColors(d.record, colors);
    SetRecordTextFont(d.record, d.record->document->numOutFont);
    if (d.record->window) win::InvalidateRect(d.record->window, nullptr, win::TRUE);
}

win::INT_PTR CharacteristicsDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    auto* d = reinterpret_cast<CharacteristicsDialog*>(win::GetWindowLongPtr(dialog, win::DWLP_USER));
    switch (msg) {
    case win::WM_INITDIALOG: {
        d = reinterpret_cast<CharacteristicsDialog*>(lParam);
        win::SetWindowLongPtr(dialog, win::DWLP_USER, lParam);
        const int count = EntryCount(d->record);
        std::vector<std::string> texts(kEntryTexts.begin(), kEntryTexts.begin() + count);
        InitColorPalette(d->group, dialog, texts, kCharacteristicsList, d->colors.data(), count, kFirstPaletteButton, 0);
        EnableCharacteristicsFont(d->group);
        return win::TRUE;
    }
    case win::WM_DRAWITEM:
        if (!d) return win::FALSE;
        return DrawColorPaletteItem(d->group, *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam));
    case win::WM_COMMAND: {
        if (!d) return win::FALSE;
        const int id = win::LOWORD(wParam);
        if (OnColorPaletteClick(d->group, id)) return win::TRUE;
        switch (id) {
        case kCharacteristicsList:
            if (win::HIWORD(wParam) == win::LBN_SELCHANGE) {
                RefreshColorPalette(d->group);
                EnableCharacteristicsFont(d->group);
            }
            return win::TRUE;
        case kCharacteristicsFont:
            if (ChooseSettingsFont(dialog, d->font, kFontFixedPitchOnly)) d->fontChanged = true;
            return win::TRUE;
        case kCharacteristicsTest:
            win::SetFocus(d->group.list);
            ApplyToWindow(*d, d->colors, d->font);
            return win::TRUE;
        case win::IDOK:
            ApplyToWindow(*d, d->colors, d->font);
            if (d->record) d->record->modified = 1;
            win::EndDialog(dialog, 1);
            return win::TRUE;
        case win::IDCANCEL:
            ApplyToWindow(*d, d->saved, d->savedFont);
            win::EndDialog(dialog, 0);
            return win::TRUE;
        case 9:
            ShowDialogHelp(kCharacteristicsTemplate);
            return win::TRUE;
        default:
            return win::FALSE;
        }
    }
    default:
        return win::FALSE;
    }
}

}  // namespace

std::array<int, kCharacteristicsEntries> ReadCharacteristicsColors(const WindowRecord* record)
{
    std::array<int, kCharacteristicsEntries> c{};
    if (!record || !record->document) return c;
    const CircuitDocument& doc = *record->document;
    c = {doc.numOutFont.color,       doc.textCommentColor,       doc.textBackgroundColor,   doc.wireFont.color,
         doc.componentFont.color,    doc.selectFont.color,       doc.nodeNumberFont.color,  doc.nodeVoltageFont.color,
         doc.pinFont.color,          doc.boxRegionFont.color,    doc.backgroundColor,       doc.digitalPathColor};
    return c;
}

void StoreCharacteristicsColors(WindowRecord* record, const std::array<int, kCharacteristicsEntries>& c)
{
    if (!record || !record->document) return;
    CircuitDocument& doc = *record->document;
    const auto byte = [](int v) { return static_cast<std::uint8_t>(v); };
    doc.numOutFont.color = byte(c[0]);
    doc.textCommentColor = c[1];
    doc.textBackgroundColor = c[2];
    if (record->kind != kWindowSchematic) return;
    doc.wireFont.color = byte(c[3]);
    doc.componentFont.color = byte(c[4]);
    doc.selectFont.color = byte(c[5]);
    doc.nodeNumberFont.color = byte(c[6]);
    doc.nodeVoltageFont.color = byte(c[7]);
    doc.pinFont.color = byte(c[8]);
    doc.boxRegionFont.color = byte(c[9]);
    doc.backgroundColor = c[10];
    doc.digitalPathColor = c[11];
}

int RunCharacteristicsDialog(WindowRecord* record, win::HWND parent)
{
    if (!record || !record->document) return 0;
    CharacteristicsDialog d;
    d.record = record;
    d.colors = ReadCharacteristicsColors(record);
    d.saved = d.colors;
    d.font = record->document->numOutFont;
    d.savedFont = d.font;
    if (!parent) parent = AppFrameWindow();
    return static_cast<int>(win::DialogBoxParam(win::GetModuleHandle(nullptr), kCharacteristicsTemplate, parent, CharacteristicsDlgProc,
                                                reinterpret_cast<win::LPARAM>(&d)));
}

}  // namespace kq5
