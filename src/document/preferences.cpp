#include "document/preferences.h"

#include <algorithm>
#include <map>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "ui/dialog_services.h"
#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "ui/preference_values.h"
#include "ui/program_settings.h"
#include "ui/settings_font.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "core/format.h"
#include "core/key_file.h"
#include "platform/common_dialogs_color.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "ui/font_select.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/system.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "platform/win_messages.h"
#include "platform/window.h"

namespace kq5 {

const std::array<const char*, 51> ColorKeyNames = {
    "Component", "Wire", "Node Number", "Select", "Pin", "Select Box", "Node Voltage", "Grid Text", "Text Area",
    "Circuit Object", "MC Bar Front", "Digital Path", "Analysis Grid", "Analysis Graph Background", "Analysis Text",
    "Attribute Text", "Waveform 1", "Waveform 2", "Waveform 3", "Waveform 4", "Waveform 5", "Waveform 6",
    "Waveform 7", "Waveform 8", "Waveform 9", "Waveform 10", "Help Bar Text", "Analysis Object",
    "Analysis Window Background", "Digital 0", "Digital R", "Digital F", "Digital 1", "Digital X", "Digital Z",
    "MC Font", "MC Grid", "MC Graph Background", "MC Bar Top/Side", "MC Window Background", "3D Font", "3D Grid",
    "3D Wire Grid Color", "3D Window Background", "3D X Axis Plain Color", "3D Y Axis Plain Color",
    "3D Z Axis Plain Color", "Text Area Comment", "Circuit Background", "Text Area Background", "Title Block"};

namespace {

// The option bits in the order of the check boxes 19700 to 19711, then 19715 and 19716.
constexpr std::array<std::uint32_t, 14> kOptionBits = {
    kOptionSound,         kOptionFileWarning,   kOptionQuitWarning,      kOptionFloatingNodes, kOptionTextIncrement,
    kOptionNodeSnap,      kOptionSelectMode,    kOptionAutoShowModel,    kOptionLockToolBar,   kOptionPrintBackground,
    kOptionRubberbanding, kOptionInertialCancellation, kOptionTimeStamp, kOptionDateStamp};

int OptionBoxId(int i) { return i < 12 ? kFirstOptionBox + i : kTimeStampBox + (i - 12); }

std::string* FormatField(int i)
{
    PreferenceValues& p = PreferenceSettings();
    std::array<std::string*, kFormatCount> formats = {&p.tagFormat,       &p.nodeVoltageFormat, &p.operatingPointFormat,
                                                      &p.scaleFormat,     &p.valueFormat,       &p.pathDelayFormat,
                                                      &p.calculatorFormat};
    return formats[static_cast<std::size_t>(i)];
}
constexpr std::array<const char*, kFormatCount> kFormatKeys = {"TagFormat",   "NodeVoltageFormat", "OperatingPointFormat",
                                                               "ScaleFormat", "ValueFormat",       "PathDelayFormat",
                                                               "CalculatorFormat"};
constexpr int kValueFormatIndex = 4;

struct Groups {
    std::map<const CircuitDocument*, bool> windows;  // open flags of the window groups
    bool circuit = false;
    bool analysis = false;
    bool monteCarlo = false;
    bool graph3d = false;
    int lastRow = 0;  // the row selected when the dialog was last closed
};
Groups& DefaultGroups()
{
    static Groups groups;
    return groups;
}

struct Child {
    const char* text;
    int target;
    unsigned flags;
};

constexpr unsigned kC = kRowColor;
constexpr unsigned kCF = kRowColor | kRowFont;

constexpr std::array<Child, 16> kCircuitChildren = {{{"Background", 48, kC},
                                                    {"Grid Text", 7, kCF},
                                                    {"Graphical Object", 9, kC},
                                                    {"Text Area Background", 49, kC},
                                                    {"Text Area Text", 8, kCF | kRowFixedPitch},
                                                    {"Text Area Comment", 47, kC},
                                                    {"Title Block", 50, kCF},
                                                    {"Component", 0, kCF},
                                                    {"Attribute Text", 15, kCF},
                                                    {"Wire", 1, kC},
                                                    {"Digital Path Color", 11, kC},
                                                    {"Select", 3, kC},
                                                    {"Node Number", 2, kCF},
                                                    {"Node Voltage", 6, kCF},
                                                    {"Pin Connection", 4, kC},
                                                    {"Select Box", 5, kC}}};
constexpr std::array<Child, 23> kAnalysisChildren = {{{"Object", 27, kC},
                                                     {"Grid", 12, kC},
                                                     {"Graph Background", 13, kC},
                                                     {"Window Background", 28, kC},
                                                     {"Font ", 14, kCF},
                                                     {"Same Y Scales", -1, kRowSameYScales},
                                                     {"Scale Color", -1, kRowScaleColor},
                                                     {"Waveform 1", 16, kC},
                                                     {"Waveform 2", 17, kC},
                                                     {"Waveform 3", 18, kC},
                                                     {"Waveform 4", 19, kC},
                                                     {"Waveform 5", 20, kC},
                                                     {"Waveform 6", 21, kC},
                                                     {"Waveform 7", 22, kC},
                                                     {"Waveform 8", 23, kC},
                                                     {"Waveform 9", 24, kC},
                                                     {"Waveform 10", 25, kC},
                                                     {"Digital 0", 29, kC},
                                                     {"Digital R", 30, kC},
                                                     {"Digital F", 31, kC},
                                                     {"Digital 1", 32, kC},
                                                     {"Digital X", 33, kC},
                                                     {"Digital Z", 34, kC}}};
constexpr std::array<Child, 6> kMonteCarloChildren = {{{"Font", 35, kCF | kRowTrueType},
                                                       {"Grid", 36, kC},
                                                       {"Bar Front", 10, kC},
                                                       {"Bar Top/Side", 38, kC},
                                                       {"Graph Background", 37, kC},
                                                       {"Window Background", 39, kC}}};
constexpr std::array<Child, 7> kGraph3dChildren = {{{"Font", 40, kCF | kRowTrueType},
                                                    {"Grid Color", 41, kC},
                                                    {"Wire Grid Color", 42, kC},
                                                    {"X Axis Plain Color", 44, kC},
                                                    {"Y Axis Plain Color", 45, kC},
                                                    {"Z Axis Plain Color", 46, kC},
                                                    {"Window Background", 43, kC}}};

template <std::size_t N>
void AddGroup(std::vector<PreferenceRow>& rows, const char* text, bool* expanded, const std::array<Child, N>& children)
{
    PreferenceRow group;
    group.text = text;
    group.flags = kRowGroup;
    group.expanded = expanded;
    group.children = static_cast<int>(N);
    rows.push_back(group);
    const int parent = static_cast<int>(rows.size()) - 1;
    const PreferenceValues& p = PreferenceSettings();
    for (std::size_t i = 0; i < N; ++i) {
        PreferenceRow row;
        row.text = children[i].text;
        row.target = children[i].target;
        row.flags = children[i].flags;
        row.parent = parent;
        row.lastChild = i + 1 == N;
        if (row.target >= 0) row.work = p.defaultAttributes[static_cast<std::size_t>(row.target)];
        else if (row.flags & kRowSameYScales) row.work.color = p.sameYScales ? 1 : 0;
        else if (row.flags & kRowScaleColor) row.work.color = p.scaleColor ? 1 : 0;
        rows.push_back(row);
    }
}

// The fields of a schematic document that the circuit rows edit, in the order of
// kCircuitChildren: a font (whose colour counts) or a colour.
struct CircuitField {
    FontSpec* font;
    std::int32_t* color;
};
std::array<CircuitField, kCircuitChildren.size()> CircuitFields(CircuitDocument& doc)
{
    return {{{nullptr, &doc.backgroundColor},
             {&doc.gridTextFont, nullptr},
             {&doc.circuitObjectFont, nullptr},
             {nullptr, &doc.textBackgroundColor},
             {&doc.numOutFont, nullptr},
             {nullptr, &doc.textCommentColor},
             {&doc.titleBlockFont, nullptr},
             {&doc.componentFont, nullptr},
             {&doc.attributeFont, nullptr},
             {&doc.wireFont, nullptr},
             {nullptr, &doc.digitalPathColor},
             {&doc.selectFont, nullptr},
             {&doc.nodeNumberFont, nullptr},
             {&doc.nodeVoltageFont, nullptr},
             {&doc.pinFont, nullptr},
             {&doc.boxRegionFont, nullptr}}};
}

// The rows of one open window: its own colours and fonts.
void AddWindowGroups(std::vector<PreferenceRow>& rows)
{
    for (const auto& owned : WindowRecords().records) {
        WindowRecord* record = owned.get();
        if (!record || !record->window || !record->document) continue;
        if (record->kind != kWindowSchematic && record->kind != kWindowTextCircuit) continue;
        CircuitDocument& doc = *record->document;
        struct WindowChild {
            const char* text;
            FontSpec* font;
            std::int32_t* color;
            unsigned flags;
        };
        std::vector<WindowChild> children;
        std::string title;
        if (record->kind == kWindowSchematic) {
            title = "[+]" + GetRecordTitle(record) + " Circuit";
            const auto fields = CircuitFields(doc);
            for (std::size_t i = 0; i < fields.size(); ++i)
                children.push_back({kCircuitChildren[i].text, fields[i].font, fields[i].color, kCircuitChildren[i].flags});
        } else {
            title = "[+]" + GetRecordTitle(record) + " Text/Spice";
            children = {{"Text Area Comment", nullptr, &doc.textCommentColor, kC},
                        {"Window Text", &doc.numOutFont, nullptr, kCF | kRowFixedPitch},
                        {"Text Background", nullptr, &doc.textBackgroundColor, kC}};
        }
        PreferenceRow group;
        group.text = title;
        group.flags = kRowGroup;
        group.expanded = &DefaultGroups().windows[&doc];
        group.children = static_cast<int>(children.size());
        rows.push_back(group);
        const int parent = static_cast<int>(rows.size()) - 1;
        for (std::size_t i = 0; i < children.size(); ++i) {
            PreferenceRow row;
            row.text = children[i].text;
            row.flags = children[i].flags;
            row.parent = parent;
            row.lastChild = i + 1 == children.size();
            row.fontTarget = children[i].font;
            row.intTarget = children[i].color;
            if (row.fontTarget) row.work = *row.fontTarget;
            else row.work.color = static_cast<std::uint8_t>(*row.intTarget);
            rows.push_back(row);
        }
    }
}

struct PreferencesDialog {
    std::vector<PreferenceRow> rows;
    std::vector<int> visible;
    int current = 0;  // row index
    int lastDrawn = -1;
    win::HFONT sampleFont = nullptr;
};

// The sample shows the row's font: a new font for it, the old one deleted once replaced.
void UpdateSample(win::HWND dialog, PreferencesDialog& d)
{
    win::HWND sample = win::GetDlgItem(dialog, kPreferencesSample);
    if (!sample) return;
    const PreferenceRow& row = d.rows[static_cast<std::size_t>(d.current)];
    win::HFONT font = (row.flags & kRowFont) ? CreateFontFromSpec(row.work) : nullptr;
    win::SendMessage(sample, win::WM_SETFONT, reinterpret_cast<win::WPARAM>(font), 0);
    if (d.sampleFont) win::DeleteObject(d.sampleFont);
    d.sampleFont = font;
    win::InvalidateRect(sample, nullptr, win::TRUE);
}

PreferencesDialog* DialogOf(win::HWND dialog)
{
    return reinterpret_cast<PreferencesDialog*>(win::GetWindowLongPtr(dialog, win::DWLP_USER));
}

void FillList(win::HWND dialog, PreferencesDialog& d)
{
    d.visible = VisiblePreferenceRows(d.rows);
    win::HWND list = win::GetDlgItem(dialog, kPreferencesList);
    win::SendMessage(list, win::LB_RESETCONTENT, 0, 0);
    int selection = 0;
    for (std::size_t i = 0; i < d.visible.size(); ++i) {
        const std::string text = PreferenceRowText(d.rows[static_cast<std::size_t>(d.visible[i])]);
        win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text.c_str()));
        if (d.visible[i] == d.current) selection = static_cast<int>(i);
    }
    win::SendMessage(list, win::LB_SETCURSEL, static_cast<win::WPARAM>(selection), 0);
    d.current = d.visible.empty() ? 0 : d.visible[static_cast<std::size_t>(selection)];
}

void Show(win::HWND dialog, int id, bool show)
{
    if (win::HWND item = win::GetDlgItem(dialog, id)) win::ShowWindow(item, show ? win::SW_SHOW : win::SW_HIDE);
}

void ShowPage(win::HWND dialog, PreferencesDialog& d)
{
    const PreferenceRow& row = d.rows[static_cast<std::size_t>(d.current)];
    const unsigned f = row.flags;
    for (int i = 0; i < 12; ++i) Show(dialog, kFirstOptionBox + i, f & kRowOptions);
    Show(dialog, kTimeStampBox, f & kRowPrintout);
    Show(dialog, kDateStampBox, f & kRowPrintout);
    for (int i = 0; i < kFormatCount; ++i) {
        Show(dialog, kFirstFormatLabel + i, f & kRowFormats);
        Show(dialog, kFirstFormatField + i, f & kRowFormats);
    }
    Show(dialog, kRecalcField, f & kRowRecalc);
    Show(dialog, kRecalcLabel, f & kRowRecalc);
    const bool color = (f & kRowColor) != 0;
    for (int i = 0; i < kPaletteButtonCount; ++i)
        Show(dialog, kFirstPaletteButton + i, color && (i >= kFirstPaletteColor || !(f & kRowPalette)));
    Show(dialog, kPreferencesFontButton, color || (f & kRowFont));
    Show(dialog, kPreferencesSample, f & kRowFont);
    win::EnableWindow(win::GetDlgItem(dialog, kPreferencesFontButton), (f & kRowFont) ? win::TRUE : win::FALSE);
    Show(dialog, kScaleColorBox, f & kRowScaleColor);
    Show(dialog, kSameYScaleBox, f & kRowSameYScales);
    if (f & kRowScaleColor) win::CheckDlgButton(dialog, kScaleColorBox, row.work.color ? 1 : 0);
    if (f & kRowSameYScales) win::CheckDlgButton(dialog, kSameYScaleBox, row.work.color ? 1 : 0);
    if (d.lastDrawn >= 0)
        if (win::HWND b = win::GetDlgItem(dialog, kFirstPaletteButton + d.lastDrawn)) win::InvalidateRect(b, nullptr, win::FALSE);
    if (color && !(f & kRowPalette))
        if (win::HWND b = win::GetDlgItem(dialog, kFirstPaletteButton + row.work.color)) win::InvalidateRect(b, nullptr, win::FALSE);
    UpdateSample(dialog, d);
}

void InitPreferences(win::HWND dialog, PreferencesDialog& d)
{
    CreatePaletteButtons(dialog, 0, kFirstPaletteButton);
    BeginPaletteEdit(dialog);
    d.rows = BuildPreferenceRows();
    Groups& g = DefaultGroups();
    d.current = std::clamp(g.lastRow, 0, static_cast<int>(d.rows.size()) - 1);
    const PreferenceRow& last = d.rows[static_cast<std::size_t>(d.current)];
    if (last.parent >= 0 && !*d.rows[static_cast<std::size_t>(last.parent)].expanded) d.current = last.parent;
    FillList(dialog, d);
    const std::uint32_t options = Settings().operationalOptions;
    for (int i = 0; i < 14; ++i) win::CheckDlgButton(dialog, OptionBoxId(i), (options & kOptionBits[static_cast<std::size_t>(i)]) ? 1 : 0);
    for (int i = 0; i < kFormatCount; ++i) {
        win::SendDlgItemMessage(dialog, kFirstFormatField + i, win::EM_LIMITTEXT, kFormatTextMax, 0);
        win::SetDlgItemText(dialog, kFirstFormatField + i, FormatField(i)->c_str());
    }
    win::SetDlgItemInt(dialog, kRecalcField, static_cast<win::UINT>(PreferenceSettings().nodeRecalc), win::FALSE);
    ShowPage(dialog, d);
}

void ConfirmPreferences(win::HWND dialog, PreferencesDialog& d)
{
    PreferenceValues& p = PreferenceSettings();
    for (const PreferenceRow& row : d.rows) {
        if (row.flags & kRowSameYScales) p.sameYScales = row.work.color != 0;
        else if (row.flags & kRowScaleColor) p.scaleColor = row.work.color != 0;
        else if (row.target >= 0) p.defaultAttributes[static_cast<std::size_t>(row.target)] = row.work;
        else if (row.fontTarget) *row.fontTarget = row.work;
        else if (row.intTarget) *row.intTarget = row.work.color;
    }
    std::uint32_t options = 0;
    for (int i = 0; i < 14; ++i)
        if (win::IsDlgButtonChecked(dialog, OptionBoxId(i))) options |= kOptionBits[static_cast<std::size_t>(i)];
    Settings().operationalOptions = options;
    for (int i = 0; i < kFormatCount; ++i) {
        std::string text = win::GetDlgItemText(dialog, kFirstFormatField + i);
        if (text.size() > kFormatTextMax) text.resize(kFormatTextMax);
        *FormatField(i) = NormalizeFormatText(text, i == kValueFormatIndex);
    }
    win::BOOL ok = win::FALSE;
    const int recalc = static_cast<int>(win::GetDlgItemInt(dialog, kRecalcField, &ok, win::TRUE));
    if (ok) p.nodeRecalc = recalc;
    CommitPaletteEdit();
    for (const auto& record : WindowRecords().records)
        if (record && record->window) win::InvalidateRect(record->window, nullptr, win::TRUE);
}

// One row of the list: a child indented behind a branch of the tree (a corner for the last
// child); a row with a colour ends in a swatch of the colour it will get.
void DrawPreferenceRow(const PreferencesDialog& d, const win::DRAWITEMSTRUCT& item)
{
    win::HDC dc = item.hDC;
    const bool selected = (item.itemState & win::ODS_SELECTED) != 0;
    const auto index = static_cast<std::size_t>(item.itemID);
    if (item.itemID != static_cast<win::UINT>(-1) && index < d.visible.size() && (item.itemAction & (win::ODA_DRAWENTIRE | win::ODA_SELECT))) {
        const PreferenceRow& row = d.rows[static_cast<std::size_t>(d.visible[index])];
        const win::RECT& r = item.rcItem;
        win::FillRect(dc, &r, win::GetSysColorBrush(selected ? win::COLOR_HIGHLIGHT : win::COLOR_WINDOW));
        const win::COLORREF ink = win::GetSysColor(selected ? win::COLOR_HIGHLIGHTTEXT : win::COLOR_WINDOWTEXT);
        std::string label = PreferenceRowText(row);
        int x = r.left + 2;
        if (row.parent >= 0) {
            label.erase(0, 1);
            const int stem = x + 6, middle = (r.top + r.bottom) / 2;
            win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, ink);
            win::HGDIOBJ old = win::SelectObject(dc, pen);
            win::MoveToEx(dc, stem, r.top, nullptr);
            win::LineTo(dc, stem, row.lastChild ? middle + 1 : r.bottom);
            win::MoveToEx(dc, stem, middle, nullptr);
            win::LineTo(dc, stem + 7, middle);
            win::SelectObject(dc, old);
            win::DeleteObject(pen);
            x = stem + 10;
        }
        win::RECT textRect{x, r.top, r.right - 2, r.bottom};
        win::SetBkMode(dc, win::TRANSPARENT);
        win::SetTextColor(dc, ink);
        win::DrawText(dc, label.c_str(), static_cast<int>(label.size()), &textRect,
                      win::DT_LEFT | win::DT_VCENTER | win::DT_SINGLELINE | win::DT_NOPREFIX | win::DT_END_ELLIPSIS);
    }
    if (item.itemState & win::ODS_FOCUS) win::DrawFocusRect(dc, &item.rcItem);
}

void RedrawCurrentRow(win::HWND dialog)
{
    win::HWND list = win::GetDlgItem(dialog, kPreferencesList);
    win::RECT r;
    const win::LRESULT at = win::SendMessage(list, win::LB_GETCURSEL, 0, 0);
    if (at >= 0 && win::SendMessage(list, win::LB_GETITEMRECT, static_cast<win::WPARAM>(at), reinterpret_cast<win::LPARAM>(&r)) != win::LB_ERR)
        win::InvalidateRect(list, &r, win::FALSE);
}

void PaletteClick(win::HWND dialog, PreferencesDialog& d, int index)
{
    PreferenceRow& row = d.rows[static_cast<std::size_t>(d.current)];
    if (row.flags & kRowPalette) {
        win::CHOOSECOLOR cc;
        cc.hwndOwner = dialog;
        cc.rgbResult = PaletteColor(index, true);
        cc.lpCustColors = reinterpret_cast<win::CustomColors*>(&PreferenceSettings().customColors);
        cc.Flags = win::CC_FULLOPEN | win::CC_RGBINIT;
        if (win::ChooseColor(&cc)) {
            SetEditedPaletteEntry(index, cc.rgbResult, dialog);
            if (win::HWND b = win::GetDlgItem(dialog, kFirstPaletteButton + index)) win::InvalidateRect(b, nullptr, win::FALSE);
        }
        return;
    }
    if (!(row.flags & kRowColor)) return;
    if (win::HWND b = win::GetDlgItem(dialog, kFirstPaletteButton + row.work.color)) win::InvalidateRect(b, nullptr, win::FALSE);
    row.work.color = static_cast<std::uint8_t>(index);
    if (win::HWND b = win::GetDlgItem(dialog, kFirstPaletteButton + index)) win::InvalidateRect(b, nullptr, win::FALSE);
    if (win::HWND sample = win::GetDlgItem(dialog, kPreferencesSample)) win::InvalidateRect(sample, nullptr, win::TRUE);
    RedrawCurrentRow(dialog);
}

void FontClick(win::HWND dialog, PreferencesDialog& d)
{
    PreferenceRow& row = d.rows[static_cast<std::size_t>(d.current)];
    if (!(row.flags & kRowFont)) return;
    unsigned options = (row.flags & kRowColor) ? kFontWithColor : 0;
    if (row.flags & kRowFixedPitch) options |= kFontFixedPitchOnly;
    if (row.flags & kRowTrueType) options |= kFontTrueTypeOnly;
    FontSpec spec = row.work;
    if (!ChooseSettingsFont(dialog, spec, options)) return;
    // The node voltages are drawn in the node numbers' font: a font chosen on the "Node Voltage"
    // row goes to the row just above it, its colour stays with the row.
    if (row.text == "Node Voltage" && d.current > 0 && d.rows[static_cast<std::size_t>(d.current - 1)].text == "Node Number") {
        PreferenceRow& numbers = d.rows[static_cast<std::size_t>(d.current - 1)];
        const std::uint8_t keep = numbers.work.color;
        numbers.work = spec;
        numbers.work.color = keep;
        row.work.color = spec.color;
    } else {
        row.work = spec;
    }
    UpdateSample(dialog, d);
    RedrawCurrentRow(dialog);  // the font chooser may have changed the colour too
}

win::INT_PTR PreferencesDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    PreferencesDialog* d = DialogOf(dialog);
    switch (msg) {
    case win::WM_INITDIALOG:
        d = reinterpret_cast<PreferencesDialog*>(lParam);
        win::SetWindowLongPtr(dialog, win::DWLP_USER, lParam);
        InitPreferences(dialog, *d);
        return win::TRUE;
    case win::WM_DRAWITEM: {
        if (!d) return win::FALSE;
        const auto& item = *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
        if (item.CtlID == kPreferencesList) {
            DrawPreferenceRow(*d, item);
            return win::TRUE;
        }
        const PreferenceRow& row = d->rows[static_cast<std::size_t>(d->current)];
        const int current = (row.flags & kRowColor) && !(row.flags & kRowPalette) ? row.work.color : -1;
        DrawPaletteButton(item, current, d->lastDrawn, QueryCtlColorBrush(dialog, 0, item.hDC), kFirstPaletteButton);
        return win::TRUE;
    }
    case win::WM_CTLCOLORSTATIC: {
        if (!d || reinterpret_cast<win::HWND>(lParam) != win::GetDlgItem(dialog, kPreferencesSample)) return win::FALSE;
        const PreferenceRow& row = d->rows[static_cast<std::size_t>(d->current)];
        auto dc = reinterpret_cast<win::HDC>(wParam);
        RealizeAppPalette(dc);
        win::SetTextColor(dc, PaletteColor(row.work.color, true));
        win::SetBkMode(dc, win::TRANSPARENT);
        return reinterpret_cast<win::INT_PTR>(win::GetSysColorBrush(win::COLOR_BTNFACE));
    }
    case win::WM_DESTROY:
        if (d && d->sampleFont) {
            win::SendDlgItemMessage(dialog, kPreferencesSample, win::WM_SETFONT, 0, 0);
            win::DeleteObject(d->sampleFont);
            d->sampleFont = nullptr;
        }
        return win::FALSE;
    case win::WM_COMMAND: {
        if (!d) return win::FALSE;
        const int id = win::LOWORD(wParam);
        const int code = win::HIWORD(wParam);
        if (id >= kFirstPaletteButton && id < kFirstPaletteButton + kPaletteButtonCount) {
            PaletteClick(dialog, *d, id - kFirstPaletteButton);
            return win::TRUE;
        }
        switch (id) {
        case kPreferencesList: {
            const int sel = static_cast<int>(win::SendDlgItemMessage(dialog, kPreferencesList, win::LB_GETCURSEL, 0, 0));
            if (sel < 0 || sel >= static_cast<int>(d->visible.size())) return win::TRUE;
            d->current = d->visible[static_cast<std::size_t>(sel)];
            PreferenceRow& row = d->rows[static_cast<std::size_t>(d->current)];
            if (code == win::LBN_DBLCLK && (row.flags & kRowGroup)) {
                *row.expanded = !*row.expanded;
                FillList(dialog, *d);
                if (*row.expanded)
                    win::SendDlgItemMessage(dialog, kPreferencesList, win::LB_SETTOPINDEX,
                                            static_cast<win::WPARAM>(std::max(0, sel + row.children - 9)), 0);
            }
            if (code == win::LBN_SELCHANGE || code == win::LBN_DBLCLK) ShowPage(dialog, *d);
            return win::TRUE;
        }
        case kScaleColorBox:
        case kSameYScaleBox:
            d->rows[static_cast<std::size_t>(d->current)].work.color = win::IsDlgButtonChecked(dialog, id) ? 1 : 0;
            return win::TRUE;
        case kPreferencesFontButton:
            FontClick(dialog, *d);
            return win::TRUE;
        case win::IDOK:
            ConfirmPreferences(dialog, *d);
            DefaultGroups().lastRow = d->current;
            win::EndDialog(dialog, 1);
            return win::TRUE;
        case win::IDCANCEL:
            EndPaletteEdit();
            DefaultGroups().lastRow = d->current;
            win::EndDialog(dialog, 0);
            return win::TRUE;
        case 9:
            ShowDialogHelp(kPreferencesTemplate);
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

void SetPreferenceDefaults()
{
    PreferenceValues& p = PreferenceSettings();
    p.tagFormat = "3";
    p.nodeVoltageFormat = "3";
    p.operatingPointFormat = "2e";
    p.scaleFormat = "2";
    p.valueFormat = "5.3";
    p.pathDelayFormat = "3";
    p.calculatorFormat = "16e";
    p.nodeRecalc = 1000000;
    p.sameYScales = true;
    p.scaleColor = true;
    p.helpBarAtStart = true;
    Settings().operationalOptions = kDefaultOperationalOptions;

    const int h = -SystemFontHeight();
    const auto arial = static_cast<std::int16_t>(FindFontFace("Arial"));
    const auto courier = static_cast<std::int16_t>(FindFontFace("Courier New"));
    for (FontSpec& f : p.defaultAttributes) f = FontSpec{static_cast<std::int16_t>(h), arial, 0, 0};
    const auto set = [&](int entry, int height, int color) {
        FontSpec& f = p.defaultAttributes[static_cast<std::size_t>(entry)];
        f.height = static_cast<std::int16_t>(height);
        f.color = static_cast<std::uint8_t>(color);
    };
    constexpr std::array<int, 51> kColors = {12, 2,  13, 9,  9,  4, 0,  9,  4,  4,  15, 9,  8,  15, 12, 2, 12,
                                             9,  2,  13, 0,  12, 9, 2,  13, 0,  0,  4,  15, 0,  11, 11, 9, 7,
                                             8,  12, 8,  15, 7,  15, 12, 8, 0,  15, 15, 15, 15, 8,  15, 15, 0};
    for (int i = 0; i < kNamedAttributeCount; ++i) set(i, h, kColors[static_cast<std::size_t>(i)]);
    set(2, h * 3 / 4, 13);
    set(4, h * 2 / 3, 9);
    set(7, h * 3 / 4, 9);
    set(15, h * 3 / 4, 2);
    set(26, h + 2, 0);
    p.defaultAttributes[8].face = courier;
}

void CopyDefaultCircuitAttributes(CircuitDocument& doc)
{
    const PreferenceValues& p = PreferenceSettings();
    const auto fields = CircuitFields(doc);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FontSpec& value = p.defaultAttributes[static_cast<std::size_t>(kCircuitChildren[i].target)];
        if (fields[i].font) *fields[i].font = value;
        else *fields[i].color = value.color;
    }
}

std::string NormalizeFormatText(const std::string& text, bool decimalsAllowed)
{
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    const auto leadingNumber = [&](const std::string& s) {
        std::size_t n = 0;
        while (n < s.size() && digit(s[n])) ++n;
        return s.substr(0, n);
    };
    std::size_t letterAt = text.find('E');
    if (letterAt == std::string::npos) letterAt = text.find('e');
    if (letterAt != std::string::npos) {
        const char letter = text[letterAt];
        const std::string number = leadingNumber(text);
        if (number.empty()) return "3e";
        // Compared as text length first, so that a long run of digits cannot overflow.
        const int value = number.size() > 2 ? 17 : std::atoi(number.c_str());
        return std::to_string(std::min(value, 16)) + letter;
    }
    if (decimalsAllowed) {
        long width = 0;
        long decimals = 0;
        const std::size_t dot = text.find('.');
        width = std::strtol(text.substr(0, dot).c_str(), nullptr, 10);
        if (dot != std::string::npos) decimals = std::strtol(text.c_str() + dot + 1, nullptr, 10);
        const auto fix = [](long v) { return v < 0 ? 3L : std::min(v, 16L); };
        return std::to_string(fix(width)) + "." + std::to_string(fix(decimals));
    }
    if (text.size() > 3) return "16";
    const std::string number = leadingNumber(text);
    if (!number.empty() && std::atoi(number.c_str()) > 16) return "16";
    // A text of at most three characters whose own number is above 16 ("17x") is "16" too.
    if (std::atoi(text.c_str()) > 16) return "16";
    return number.empty() ? "3" : number;
}

void PreferencesSection(SettingsKeys& section)
{
    PreferenceValues& p = PreferenceSettings();
    if (section.writing) {
        section.Add("Operational Options", static_cast<long long>(Settings().operationalOptions));
        section.AddYesNo("Same Y Scales", p.sameYScales);
        section.AddYesNo("Scale Color", p.scaleColor);
        section.AddYesNo("Help Bar", p.helpBarAtStart);
        for (int i = 0; i < kFormatCount; ++i) section.Add(kFormatKeys[static_cast<std::size_t>(i)], *FormatField(i));
        section.Add("NodeRecalc", static_cast<long long>(p.nodeRecalc));
        section.AddComment("Default Attributes");
        for (int i = 0; i < kNamedAttributeCount; ++i) {
            const FontSpec& f = p.defaultAttributes[static_cast<std::size_t>(i)];
            section.Add(ColorKeyNames[static_cast<std::size_t>(i)],
                        StrPrintf("Height=%d,FStyle=%d,Color=%d,Name=%s", f.height, f.style, f.color,
                                  FaceName(f.face).c_str()));
        }
        for (int i = 0; i < 16; ++i)
            section.Add("CUSTOM_COLOR_" + std::to_string(i), static_cast<long long>(p.customColors[static_cast<std::size_t>(i)]));
        return;
    }
    for (const auto& [key, value] : section.keys) {
        bool done = false;
        for (int i = 0; i < kNamedAttributeCount && !done; ++i)
            if (SettingsKeyIs(key, ColorKeyNames[static_cast<std::size_t>(i)])) {
                ReadKeyFont(value, p.defaultAttributes[static_cast<std::size_t>(i)]);
                done = true;
            }
        if (done) continue;
        if (SettingsKeyStartsWith(key, "CUSTOM_COLOR_")) {
            const std::string digits = key.substr(13);
            if (digits.empty() || digits.size() > 2 || !std::all_of(digits.begin(), digits.end(), [](char c) {
                    return std::isdigit(static_cast<unsigned char>(c)) != 0;
                }))
                continue;
            const int index = std::atoi(digits.c_str());
            if (index < 16) p.customColors[static_cast<std::size_t>(index)] = static_cast<std::uint32_t>(SettingsNumber(value, 0));
            continue;
        }
        if (SettingsKeyIs(key, "Operational Options"))
            Settings().operationalOptions = static_cast<std::uint32_t>(SettingsNumber(value, Settings().operationalOptions));
        else if (SettingsKeyIs(key, "Same Y Scales")) p.sameYScales = SettingsYes(value);
        else if (SettingsKeyIs(key, "Scale Color")) p.scaleColor = SettingsYes(value);
        else if (SettingsKeyIs(key, "Help Bar")) p.helpBarAtStart = SettingsYes(value);
        else if (SettingsKeyIs(key, "NodeRecalc")) p.nodeRecalc = static_cast<int>(SettingsNumber(value, p.nodeRecalc));
        else
            for (int i = 0; i < kFormatCount; ++i)
                if (SettingsKeyIs(key, kFormatKeys[static_cast<std::size_t>(i)])) *FormatField(i) = value;
    }
}

std::vector<PreferenceRow> BuildPreferenceRows()
{
    std::vector<PreferenceRow> rows;
    const auto main = [&](const char* text, unsigned flags, int target = -1) {
        PreferenceRow row;
        row.text = text;
        row.flags = flags;
        row.target = target;
        if (target >= 0) row.work = PreferenceSettings().defaultAttributes[static_cast<std::size_t>(target)];
        rows.push_back(row);
    };
    main("Operational Options", kRowOptions);
    main("Palettes", kRowPalette | kRowColor);
    main("Printout Options", kRowPrintout);
    main("Format", kRowFormats);
    main("Help Bar Text", kRowColor | kRowFont, 26);
    main("Nodes Recalc Threshold", kRowRecalc);
    Groups& g = DefaultGroups();
    AddGroup(rows, "[+]Circuit Defaults", &g.circuit, kCircuitChildren);
    AddGroup(rows, "[+]Analysis/Performance Defaults", &g.analysis, kAnalysisChildren);
    AddGroup(rows, "[+]Monte Carlo Defaults", &g.monteCarlo, kMonteCarloChildren);
    AddGroup(rows, "[+]Graph3D Defaults", &g.graph3d, kGraph3dChildren);
    AddWindowGroups(rows);
    return rows;
}

std::vector<int> VisiblePreferenceRows(const std::vector<PreferenceRow>& rows)
{
    std::vector<int> visible;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const PreferenceRow& row = rows[i];
        if (row.parent >= 0 && !*rows[static_cast<std::size_t>(row.parent)].expanded) continue;
        visible.push_back(static_cast<int>(i));
    }
    return visible;
}

std::string PreferenceRowText(const PreferenceRow& row)
{
    if (row.parent >= 0) return (row.lastChild ? kTreeCorner : kTreeBranch) + row.text;
    std::string text = row.text;
    if ((row.flags & kRowGroup) && row.expanded && *row.expanded && text.compare(0, 3, "[+]") == 0) text[1] = '-';
    return text;
}

int RunPreferencesDialog(win::HWND parent)
{
    PreferencesDialog d;
    return static_cast<int>(win::DialogBoxParam(win::GetModuleHandle(nullptr), kPreferencesTemplate, parent, PreferencesDlgProc,
                                                reinterpret_cast<win::LPARAM>(&d)));
}

void ResetPreferenceGroupsForTests() { DefaultGroups() = Groups{}; }

}  // namespace kq5
