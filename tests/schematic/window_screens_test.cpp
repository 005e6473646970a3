// Screenshots of schematic windows (SDL2 under xvfb-run, headless otherwise) into build/screens/:
// a window split into four panes with page tabs and the text area, every graphic object kind and
// style, and one page at three zooms.
#include "../app/screen_test_support.h"
#include "schematic_test_support.h"

#include <filesystem>
#include <fstream>

#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "ui/color_table.h"
#include "document/text_area.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "platform/gdi_draw.h"
#include "platform/headless.h"
#include "platform/input.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/gdi_objects.h"
#include "platform/metafile.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "ui/dialog_services.h"
#include "platform/controls.h"
#include "platform/message_box.h"
#include "schematic/circuit_window.h"
#include "document/component_definition.h"
#include "schematic/graphic_objects.h"
#include "document/page_array.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"
#include "schematic/schematic_view.h"
#include "document/shape_library.h"
#include "schematic/zoom.h"
#include "document/component_types.h"
#include "plots/plot_click_services.h"
#include "shape_test_support.h"

namespace kq5::testing {
namespace {

class SchematicScreens : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        ResetSchematicTestState();
        definition_.name = "R";
        definition_.shapeIndex = 7;
    }
    void TearDown() override
    {
        for (WindowRecord* record : windows_) {
            if (!IsLiveWindowRecord(record) || !record->window) continue;
            for (SchematicItem* item = ListHead<SchematicItem>(record->document->itemList); item; item = ListNext(item))
                item->definition = nullptr;
            win::DestroyWindow(record->window);
        }
        ResetSchematicDrawingForTests();
        ResetAppStateForTests();
        ResetColorTableForTests();
        ScreenTest::TearDown();
    }

    WindowRecord* Window(const std::string& title)
    {
        WindowRecord* record = NewDocumentWindow(kWindowSchematic, title);
        EXPECT_NE(record, nullptr);
        if (record == nullptr) return nullptr;
        windows_.push_back(record);
        win::MoveWindow(record->window, 0, 0, kWidth, kHeight, 1);
        win::ShowWindow(record->window, win::SW_SHOW);
        SetTestColors(*record->document);
        record->document->viewOptions = kDefaultViewOptions;
        return record;
    }
    static SchematicItem* Item(WindowRecord* record, std::uint16_t kind, int x1, int y1, int x2, int y2,
                               std::uint16_t style, int color, int fill, int page = 0)
    {
        SchematicItem* item = AddItem(record, kind, x1, y1, x2, y2, style, page);
        item->color = static_cast<std::uint8_t>(color);
        item->fillColor = static_cast<std::uint8_t>(fill);
        return item;
    }
    static GridText* Text(WindowRecord* record, const std::string& text, int x, int y, int color, int page = 0)
    {
        GridText* grid = AddText(record, text, x, y, page);
        grid->font.color = static_cast<std::uint8_t>(color);
        return grid;
    }
    // A small RC circuit drawn with wires, a label and graphic objects.
    void DrawCircuit(WindowRecord* record, int page)
    {
        Item(record, kItemWire, 4, 6, 20, 6, 0, 2, 0, page);
        Item(record, kItemWire, 20, 6, 20, 16, 0, 2, 0, page);
        Item(record, kItemWire, 4, 16, 30, 16, 0, 2, 0, page);
        Item(record, kItemGraphicObject, 22, 2, 36, 12, kObjectRectangle | kGraphicBorder | kGraphicRounded, 12, 0, page);
        Item(record, kItemGraphicObject, 26, 4, 34, 10, kObjectEllipse | kGraphicFill | kGraphicBorder, 0, 11, page);
        Text(record, "Vin", 2, 5, 0, page);
        Text(record, "RC filter", 23, 14, 4, page);
        Text(record, ".tran 1u 1m", 4, 22, 5, page);
        // Without a shape library the part shows where its shape would be.
        SchematicItem* part = Item(record, kItemComponent, 8, 11, 8, 11, 0, 0, 0, page);
        part->definition = &definition_;
    }
    void Refresh(WindowRecord* record)
    {
        CheckPageExtent(record, 0);
        UpdatePaneScrollBars(record);
        win::RedrawWindow(record->window, nullptr, nullptr,
                          win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN | win::RDW_UPDATENOW);
    }
    std::vector<WindowRecord*> windows_;
    ComponentDefinition definition_;
};

TEST_F(SchematicScreens, FourPanesWithTabsAndTheTextArea)
{
    WindowRecord* record = Window("C:\\CIRCUITS\\PANES.CIR");
    ASSERT_NE(record, nullptr);
    CircuitDocument& document = *record->document;
    ASSERT_EQ(AddPage(record, 1), 0);
    ASSERT_EQ(AddPage(record, 2), 0);
    RenamePageTo(record, 1, "Power supply");
    DrawCircuit(record, 0);
    Item(record, kItemWire, 3, 3, 30, 3, 0, 2, 0, 1);
    Item(record, kItemGraphicObject, 5, 5, 25, 15, kObjectDiamond | kGraphicFill | kGraphicBorder, 9, 14, 1);
    Text(record, "Regulator", 8, 18, 0, 1);
    SetTextAreaText(record, "* RC filter\r\nR1 1 2 1k\r\nC1 2 0 1u\r\nV1 1 0 PULSE 0 1\r\n.tran 1u 1m\r\n.end\r\n");
    SetVerticalSplitter(record, 380);
    SetHorizontalSplitter(record, 300);
    document.textAreaPane = 2;
    document.panePage = {1, 0, 0, 2};
    document.viewOptions |= kViewGrid;
    for (int page = 0; page < 3; ++page) CheckPageExtent(record, page);
    LayoutPaneControls(record, true);
    UpdatePaneScrollBars(record);
    Refresh(record);
    for (int pane = 0; pane < 4; ++pane) EXPECT_TRUE(IsPaneVisible(record, pane)) << pane;
    const std::string file = Shoot("schematic_panes_and_tabs");
    EXPECT_TRUE(std::filesystem::exists(file));
    // The page tab bars carry their tabs: the bar of the pane showing page 2 is not blank.
    win::HWND bar = win::GetDlgItem(record->window, kPaneTabBarId + 0);
    ASSERT_NE(bar, nullptr);
    win::RECT r{};
    win::GetWindowRect(bar, &r);
    int dark = 0;
    for (int x = r.left + 80; x < r.right - 8; ++x) dark += (win::ScreenPixel(x, (r.top + r.bottom) / 2) & 0xFF) < 80;
    EXPECT_GT(dark, 10);
}

TEST_F(SchematicScreens, EveryGraphicObjectKindAndStyle)
{
    WindowRecord* record = Window("C:\\CIRCUITS\\OBJECTS.CIR");
    ASSERT_NE(record, nullptr);
    // Lines: plain, open and filled arrows, weights and the four dash styles.
    const std::uint16_t lineStyles[] = {0, kGraphicArrowOpen, kGraphicArrowFilled, kGraphicWeight2, kGraphicWeight3,
                                        0x10, 0x20, 0x30, 0x40};
    int y = 3;
    for (std::uint16_t style : lineStyles) {
        Item(record, kItemGraphicObject, 2, y, 16, y, kObjectLine | style, 0, 0);
        y += 3;
    }
    Item(record, kItemGraphicObject, 18, 3, 24, 25, kObjectLine | kGraphicArrowFilled, 12, 0);  // diagonal
    Item(record, kItemGraphicObject, 26, 25, 26, 3, kObjectLine | kGraphicArrowOpen, 9, 0);     // upward
    // Fillable kinds: fill only, outline only, both; rounded rectangles.
    const std::uint16_t kinds[] = {kObjectRectangle, kObjectEllipse, kObjectDiamond, kObjectPie};
    const std::uint16_t fills[] = {kGraphicFill, kGraphicBorder, kGraphicFill | kGraphicBorder,
                                   kGraphicFill | kGraphicBorder | kGraphicWeight3};
    for (int k = 0; k < 4; ++k)
        for (int f = 0; f < 4; ++f)
            Item(record, kItemGraphicObject, 30 + f * 10, 3 + k * 9, 37 + f * 10, 9 + k * 9,
                 static_cast<std::uint16_t>(kinds[k] | fills[f]), 4, 10 + k);
    Item(record, kItemGraphicObject, 70, 3, 78, 9, kObjectRectangle | kGraphicRounded | kGraphicFill | kGraphicBorder, 1, 3);
    Item(record, kItemGraphicObject, 80, 3, 88, 9, kObjectRectangle | kGraphicBorder | 0x20, 5, 0);
    // Arcs in the four drag directions.
    Item(record, kItemGraphicObject, 70, 14, 76, 20, kObjectArc, 0, 0);
    Item(record, kItemGraphicObject, 86, 20, 80, 14, kObjectArc, 12, 0);
    Item(record, kItemGraphicObject, 70, 28, 76, 22, kObjectArc | kGraphicWeight2, 9, 0);
    Item(record, kItemGraphicObject, 86, 22, 80, 28, kObjectArc | 0x10, 2, 0);
    // Pictures: one that plays, one whose file is missing.
    const std::filesystem::path picture = ScreensDirectory() / "schematic_picture.wmf";
    {
        win::HDC dc = win::CreateMetaFile(nullptr);
        win::HBRUSH brush = win::CreateSolidBrush(win::RGB(255, 200, 0));
        win::SelectObject(dc, brush);
        win::Ellipse(dc, 0, 0, 100, 60);
        win::MoveToEx(dc, 0, 60, nullptr);
        win::LineTo(dc, 100, 0);
        win::HMETAFILE mf = win::CloseMetaFile(dc);
        win::DeleteObject(brush);
        const std::vector<win::BYTE> bytes = win::PlaceableMetaFileBytes(mf, {0, 0, 100, 60}, 1440);
        win::DeleteMetaFile(mf);
        std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<std::streamsize>(bytes.size()));
    }
    SchematicItem* good = Item(record, kItemGraphicObject, 2, 32, 22, 44, kObjectPicture | kGraphicBorder, 0, 0);
    SetAttribute(record, good, 4, picture.string());
    SchematicItem* missing = Item(record, kItemGraphicObject, 26, 40, 60, 48, kObjectPicture, 0, 0);
    SetAttribute(record, missing, 4, "C:\\PICTURES\\GONE.WMF");
    // Selected: handles.
    Item(record, kItemGraphicObject, 66, 34, 76, 44, kObjectDiamond | kGraphicBorder, 12, 0)->selection = kSelected;
    Item(record, kItemGraphicObject, 80, 34, 90, 44, kObjectEllipse | kGraphicBorder, 12, 0)->selection = kSelected;
    Item(record, kItemGraphicObject, 66, 48, 90, 48, kObjectLine, 12, 0)->selection = kSelected;
    Refresh(record);
    EXPECT_TRUE(std::filesystem::exists(Shoot("schematic_graphic_objects")));
}

TEST_F(SchematicScreens, OnePageAtThreeZooms)
{
    WindowRecord* record = Window("C:\\CIRCUITS\\ZOOM.CIR");
    ASSERT_NE(record, nullptr);
    DrawCircuit(record, 0);
    record->document->viewOptions |= kViewGrid | kViewBorder | kViewTitle;
    Refresh(record);
    EXPECT_TRUE(std::filesystem::exists(Shoot("schematic_zoom_1")));
    ZoomWindow(record, kCommandZoomIn);
    ZoomWindow(record, kCommandZoomIn);
    EXPECT_EQ(record->document->zoomFactor, 0.25);
    Refresh(record);
    EXPECT_TRUE(std::filesystem::exists(Shoot("schematic_zoom_0_25")));
    for (int i = 0; i < 4; ++i) ZoomWindow(record, kCommandZoomOut);
    EXPECT_EQ(record->document->zoomFactor, 4.0);
    Refresh(record);
    EXPECT_TRUE(std::filesystem::exists(Shoot("schematic_zoom_4")));
}

// Two DIGITAL SWITCH parts with the library's shape, the lower one clicked on: its lever lies
// across the contacts.
TEST_F(SchematicScreens, DigitalSwitchesOffAndOn)
{
    LoadBuiltLibraries();
    const ShapeRecord* shape = FindShapeByName("DIGSWITCH");
    ASSERT_NE(shape, nullptr);
    ComponentDefinition digitalSwitch;
    digitalSwitch.type = kComponentDigitalSwitch;
    digitalSwitch.name = "Digital Switch";
    digitalSwitch.shapeIndex = shape->index;
    WindowRecord* record = Window("C:\\CIRCUITS\\SWITCH.CIR");
    ASSERT_NE(record, nullptr);
    SchematicItem* off = Item(record, kItemComponent, 10, 8, 10, 8, 0, 0, 0);
    off->definition = &digitalSwitch;
    SchematicItem* on = Item(record, kItemComponent, 10, 16, 10, 16, 0, 0, 0);
    on->definition = &digitalSwitch;
    ToggleInteractiveSwitch(record, on);
    EXPECT_EQ(on->switchOn, 1);
    for (int i = 0; i < 3; ++i) ZoomWindow(record, kCommandZoomIn);
    Refresh(record);
    EXPECT_TRUE(std::filesystem::exists(Shoot("schematic_digital_switches")));
    ResetShapeLibraryForTests();
    ResetComponentLibraryForTests();
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(SchematicScreens, TheNewDialog)
{
    bool shot = false;
    Script([&] {
        win::HWND dialog = CurrentDialog();
        if (dialog == nullptr) return;
        win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(1204, win::STN_CLICKED),
                         reinterpret_cast<win::LPARAM>(win::GetDlgItem(dialog, 1204)));
        win::UpdateWindow(dialog);
        win::CurrentBackend().Present(true);
        shot = SaveScreen("schematic_new_dialog");
        win::SendMessage(dialog, win::WM_COMMAND, win::IDCANCEL, 0);
    });
    FileNew();
    EXPECT_TRUE(shot);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

bool gPopupShot = false;

void ShootPopup(win::HWND hwnd, win::UINT, win::UINT_PTR id, win::DWORD)
{
    win::KillTimer(hwnd, id);
    win::CurrentBackend().Present(true);
    gPopupShot = win::IsMenuTracking() && SaveScreen("schematic_graphics_popup");
    win::headless::PressKey(win::VK_ESCAPE);
}

TEST_F(SchematicScreens, TheGraphicsKindPopup)
{
    WindowRecord* record = Window("C:\\CIRCUITS\\POPUP.CIR");
    ASSERT_NE(record, nullptr);
    Refresh(record);
    gPopupShot = false;
    GraphicsPopupBackToSelect() = false;
    win::SetTimer(record->window, 0x5252, 100, ShootPopup);
    ShowGraphicsKindPopup(record->window, {300, 200});
    EXPECT_TRUE(gPopupShot);
    EXPECT_TRUE(GraphicsPopupBackToSelect());
    GraphicsPopupBackToSelect() = false;
}

}  // namespace
}  // namespace kq5::testing
