// The colour table, the palette and its editing, the "Palettes" keys, the Color dialog, the
// colour popup and the colour-palette group.
#include "ui/color_dialog.h"
#include "document/circuit_document.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "platform/gdi_draw.h"
#include "platform/menu.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "settings_dialog_test_support.h"

namespace kq5 {
namespace {

using testing::SaveScreen;
using testing::SettingsDialogTest;
using win::testing::InputScript;

using ColorTableTest = SettingsDialogTest;

TEST_F(ColorTableTest, RowsHoldFixedPaletteAndSystemColoursEachWithPenAndBrush)
{
    const ColorTableState& t = ColorTable();
    EXPECT_EQ(t.rows[0].color, win::RGB(0, 0, 0));
    EXPECT_EQ(t.rows[9].color, win::RGB(255, 0, 0));
    EXPECT_EQ(t.rows[15].color, win::RGB(255, 255, 255));
    EXPECT_EQ(t.rows[16].color, win::PALETTEINDEX(16));
    EXPECT_EQ(t.rows[63].color, 16777216u + 63u);
    EXPECT_EQ(t.rows[64].color, win::GetSysColor(win::COLOR_WINDOW));
    EXPECT_EQ(t.rows[70].color, win::GetSysColor(win::COLOR_BTNSHADOW));
    EXPECT_EQ(t.rows[71].color, win::GetSysColor(win::COLOR_BTNHIGHLIGHT));
    for (int i = 0; i < kColorRows; ++i) {
        EXPECT_NE(t.rows[static_cast<std::size_t>(i)].pen, nullptr) << i;
        EXPECT_NE(t.rows[static_cast<std::size_t>(i)].brush, nullptr) << i;
    }
    EXPECT_NE(t.patternBrush, nullptr);
    EXPECT_EQ(PaletteColor(20, true), win::RGB(191, 147, 72));
    EXPECT_EQ(PaletteColor(63, true), win::RGB(32, 32, 32));
    EXPECT_EQ(PaletteColor(20, false), win::PALETTEINDEX(20));

    // A palette row draws through the palette: its brush fills with the entry's colour.
    win::HDC dc = win::GetDC(frame_);
    RealizeAppPalette(dc);
    win::RECT r{0, 0, 10, 10};
    win::FillRect(dc, &r, t.rows[20].brush);
    EXPECT_EQ(win::GetPixel(dc, 5, 5), win::RGB(191, 147, 72));
    win::ReleaseDC(frame_, dc);
}

TEST_F(ColorTableTest, PalettesKeysWriteAllEntriesAndReadOnlyTheRedefinableOnes)
{
    SettingsKeys out;
    out.writing = true;
    PalettesSection(out);
    ASSERT_EQ(out.keys.size(), 64u);
    EXPECT_EQ(out.keys.front(), (std::pair<std::string, std::string>{"PALETTE_0", "0"}));
    EXPECT_EQ(out.keys.back(), (std::pair<std::string, std::string>{"PALETTE_63", "2105376"}));

    SettingsKeys in;
    in.keys = {{"PALETTE_5", "255"},  {"palette_20", "255"}, {"PALETTE_64", "255"}, {"PALETTE_x", "255"},
               {"PALETTE_21", "junk"}, {"Other", "1"},       {"PALETTE_22", "16711680"}};
    PalettesSection(in);
    EXPECT_EQ(PaletteColor(5, true), win::RGB(128, 0, 128));
    EXPECT_EQ(PaletteColor(20, true), win::RGB(255, 0, 0));
    EXPECT_EQ(PaletteColor(21, true), win::RGB(172, 69, 13));
    EXPECT_EQ(PaletteColor(22, true), win::RGB(0, 0, 255));

    SettingsKeys again;
    again.writing = true;
    PalettesSection(again);
    EXPECT_EQ(again.keys[20].second, "255");
    EXPECT_EQ(again.keys[22].second, "16711680");
}

TEST_F(ColorTableTest, EditedEntriesShowWhileEditingAndStayOnlyWhenCommitted)
{
    BeginPaletteEdit(frame_);
    SetEditedPaletteEntry(20, win::RGB(1, 2, 3));
    SetEditedPaletteEntry(5, win::RGB(1, 2, 3));  // the fixed colours cannot change
    EXPECT_EQ(PaletteColor(20, true), win::RGB(1, 2, 3));
    EXPECT_EQ(PaletteColor(5, true), win::RGB(128, 0, 128));
    EndPaletteEdit();
    EXPECT_EQ(PaletteColor(20, true), win::RGB(191, 147, 72));

    BeginPaletteEdit(frame_);
    SetEditedPaletteEntry(20, win::RGB(1, 2, 3));
    CommitPaletteEdit();
    EXPECT_EQ(PaletteColor(20, true), win::RGB(1, 2, 3));
    EXPECT_EQ(ColorTable().logical.palPalEntry.size(), 64u);
}

TEST_F(ColorTableTest, ColorDialogPicksAClickedCellAndCancelKeepsTheIndex)
{
    std::uint8_t index = 3;
    win::RECT first{}, eighth{};
    InputScript script;
    script.Then([&] {
        win::GetWindowRect(Item(kFirstPaletteButton), &first);
        win::GetWindowRect(Item(kFirstPaletteButton + 8), &eighth);
        SaveScreen("color_dialog");
        Click(kFirstPaletteButton + 8);
    }).Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(PickColorIndex(frame_, index), 1);
    EXPECT_EQ(index, 8);
    // Colour 8 starts the second row.
    EXPECT_EQ(eighth.left, first.left);
    EXPECT_EQ(eighth.top, first.bottom);

    InputScript cancel;
    cancel.Then([] { Click(kFirstPaletteButton + 40); }).Then([] { Click(win::IDCANCEL); });
    cancel.Install();
    EXPECT_EQ(PickColorIndex(frame_, index), 0);
    EXPECT_EQ(index, 8);

    int word = 0x1234;
    InputScript keep;
    keep.Then([] { Click(win::IDOK); });
    keep.Install();
    EXPECT_EQ(PickColorIndexWord(frame_, word), 1);
    EXPECT_EQ(word, 0x34);  // the word form keeps the low byte
}

TEST_F(ColorTableTest, ColorPopupShowsEightColumnsOfEight)
{
    win::HMENU menu = CreateColorPopupMenu(500);
    ASSERT_EQ(win::GetMenuItemCount(menu), 64);
    EXPECT_EQ(win::GetMenuItemID(menu, 8), 508u);
    EXPECT_TRUE(win::GetMenuState(menu, 8, win::MF_BYPOSITION) & win::MF_MENUBARBREAK);
    EXPECT_FALSE(win::GetMenuState(menu, 7, win::MF_BYPOSITION) & win::MF_MENUBARBREAK);

    win::testing::Handler() = [](win::HWND, win::UINT msg, win::WPARAM, win::LPARAM lParam) -> std::optional<win::LRESULT> {
        if (msg == win::WM_MEASUREITEM) {
            OnMeasureColorItem(*reinterpret_cast<win::MEASUREITEMSTRUCT*>(lParam));
            return 1;
        }
        if (msg == win::WM_DRAWITEM) {
            OnDrawColorItem(*reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam));
            return 1;
        }
        return std::nullopt;
    };
    InputScript script;
    script.Then([] { SaveScreen("color_popup"); }).Then([] { win::headless::PressKey(win::VK_ESCAPE); });
    script.Install();
    win::TrackPopupMenu(menu, win::TPM_LEFTBUTTON, 100, 100, 0, frame_, nullptr);
    win::DestroyMenu(menu);
    win::testing::Handler() = nullptr;
}

TEST_F(ColorTableTest, PaletteGroupSetsTheSelectedEntryAndIgnoresClicksWithoutOne)
{
    auto record = NewWindowRecord(frame_, kWindowSchematic, true);
    record->document->wireFont.color = 2;
    InputScript script;
    script.Then([] {
        win::SendMessage(Item(kCharacteristicsList), win::LB_SETCURSEL, static_cast<win::WPARAM>(-1), 0);
        Click(kFirstPaletteButton + 30);  // nothing selected: ignored
    }).Then([] {
        win::SendMessage(Item(kCharacteristicsList), win::LB_SETCURSEL, 3, 0);
        Click(kFirstPaletteButton + 30);
    }).Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunCharacteristicsDialog(record, frame_), 1);
    EXPECT_EQ(record->document->wireFont.color, 30);
    EXPECT_EQ(record->document->componentFont.color, 0);
}

TEST_F(ColorTableTest, NoColourBoxDrawsNoCellSunkenUntilAColourIsClicked)
{
    static ColorPaletteGroup* current = nullptr;
    ColorPaletteGroup group;
    current = &group;
    win::HWND dialog = win::CreateDialogParam(win::GetModuleHandle(nullptr), kCharacteristicsTemplate, frame_,
                                              [](win::HWND, win::UINT msg, win::WPARAM, win::LPARAM lParam) -> win::INT_PTR {
                                                  if (msg != win::WM_DRAWITEM || !current || !current->dialog) return 0;
                                                  return DrawColorPaletteItem(
                                                      *current, *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam));
                                              },
                                              0);
    ASSERT_NE(dialog, nullptr);
    win::CreateWindowEx(0, "BUTTON", "None", win::WS_CHILD | win::WS_VISIBLE | win::BS_AUTOCHECKBOX, 200, 200, 60, 16,
                        dialog, win::ChildIdMenu(500), nullptr, nullptr);
    std::array<int, 2> colors{6, 7};
    InitColorPalette(group, dialog, {"One", "Two"}, kCharacteristicsList, colors.data(), 2, kFirstPaletteButton, 1);
    group.checkBoxId = 500;
    win::ShowWindow(dialog, win::SW_SHOW);
    Pump();
    EXPECT_EQ(group.lastDrawn, 7);

    win::CheckDlgButton(dialog, 500, 1);
    EXPECT_EQ(OnColorPaletteClick(group, 500), 0);
    EXPECT_TRUE(group.noColor);
    group.lastDrawn = -1;
    win::InvalidateRect(dialog, nullptr, win::TRUE);
    Pump();
    EXPECT_EQ(group.lastDrawn, -1);  // no cell drawn as the current one

    EXPECT_EQ(OnColorPaletteClick(group, kFirstPaletteButton + 5), 1);
    EXPECT_EQ(colors[1], 5);
    EXPECT_FALSE(group.noColor);
    EXPECT_EQ(win::IsDlgButtonChecked(dialog, 500), 0u);
    Pump();
    EXPECT_EQ(group.lastDrawn, 5);
    EXPECT_EQ(OnColorPaletteClick(group, 12345), 0);
    current = nullptr;
    win::DestroyWindow(dialog);
}

TEST_F(ColorTableTest, ColorCommandColoursTheSelectionOrTheTextWindow)
{
    WindowRecord* record = NewWindowRecord(frame_, kWindowSchematic, true);
    SchematicItem* chosen = NewSchematicItem(record);
    SchematicItem* other = NewSchematicItem(record);
    GridText* text = NewGridText(record);
    ASSERT_TRUE(chosen && other && text);
    chosen->selection = kSelected;
    text->selection = kSelected;
    text->font.color = 4;
    other->color = 2;
    InputScript script;
    script.Then([] { Click(kFirstPaletteButton + 9); }).Then([] { Click(win::IDOK); });
    script.Install();
    OnColorCommand(record);
    EXPECT_EQ(chosen->color, 9);
    EXPECT_EQ(chosen->fillColor, 9);
    EXPECT_EQ(text->font.color, 9);
    EXPECT_EQ(other->color, 2);
    EXPECT_NE(record->modified, 0);

    WindowRecord* textWindow = NewWindowRecord(TopLevel(10, 10, 200, 100), kWindowTextCircuit, true);
    textWindow->document->numOutFont.color = 1;
    InputScript pick;
    pick.Then([] { Click(kFirstPaletteButton + 12); }).Then([] { Click(win::IDOK); });
    pick.Install();
    OnColorCommand(textWindow);
    EXPECT_EQ(textWindow->document->numOutFont.color, 12);
    EXPECT_EQ(textWindow->undoKind, 10);
}

}  // namespace
}  // namespace kq5
