#pragma once
// Schematic windows on the headless platform for the tests of panes, pages, zoom and rendering:
// a fresh program state, a schematic window of a known client size, items made directly in its
// document, and a memory canvas whose pixels the renderer's output can be probed on.
#include <gtest/gtest.h>

#include <string>

#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "ui/color_table.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "platform/backend.h"
#include "platform/bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "results/plot_view_settings.h"
#include "document/pane_scroll_bars.h"
#include "schematic/schematic_render.h"
#include "schematic/schematic_view.h"

namespace kq5::testing {

// An item or grid text made directly in the document of a window.
inline SchematicItem* AddItem(WindowRecord* record, std::uint16_t kind, int x1, int y1, int x2, int y2,
                              std::uint16_t style = 0, int page = 0)
{
    SchematicItem* item = NewSchematicItem(record);
    item->itemKind = kind;
    item->x1 = x1;
    item->y1 = y1;
    item->x2 = x2;
    item->y2 = y2;
    item->style = style;
    item->page = static_cast<std::int16_t>(page);
    return item;
}
inline GridText* AddText(WindowRecord* record, const std::string& text, int x, int y, int page = 0)
{
    GridText* grid = NewGridText(record);
    grid->text = text;
    grid->x = x;
    grid->y = y;
    grid->page = static_cast<std::int16_t>(page);
    return grid;
}

// The colours the tests draw with: a white background and distinct item colours.
inline void SetTestColors(CircuitDocument& document)
{
    document.backgroundColor = 15;
    document.textBackgroundColor = 15;
    document.componentFont.color = 12;
    document.wireFont.color = 2;
    document.selectFont.color = 9;
    document.gridTextFont.color = 0;
}

// The program state a schematic test starts from, once the platform has been reset.
inline void ResetSchematicTestState()
{
    InitCharClasses();
    ResetAppStateForTests();
    ResetDocumentStateForTests();
    ResetDocumentServicesForTests();
    ResetAnalysisStateForTests();
    ResetSchematicDrawingForTests();
    ResetPlotViewSettingsForTests();
    ResetColorTableForTests();
    CreateAppPalette();
    InitColorTable();
}

class SchematicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(1024, 768);
        ResetSchematicTestState();
        ClearPromptDialogs();
        win::ClearMessageBoxLog();
    }
    void TearDown() override
    {
        ResetSchematicDrawingForTests();
        ResetAppStateForTests();
        ResetDocumentServicesForTests();
        ClearPromptDialogs();
        ResetColorTableForTests();
        win::ClearMessageBoxLog();
        win::ResetPlatformForTests(1024, 768);
    }

    // A schematic window whose client area is width x height pixels.
    WindowRecord* NewSchematic(int width = 600, int height = 400)
    {
        WindowRecord* record = NewDocumentWindow(kWindowSchematic);
        if (record == nullptr) return nullptr;
        win::RECT outer{}, client{};
        win::GetWindowRect(record->window, &outer);
        win::GetClientRect(record->window, &client);
        const int extraW = (outer.right - outer.left) - client.right;
        const int extraH = (outer.bottom - outer.top) - client.bottom;
        win::MoveWindow(record->window, 10, 10, width + extraW, height + extraH, 1);
        win::ShowWindow(record->window, win::SW_SHOW);
        SetTestColors(*record->document);
        return record;
    }
};

// One 600 x 400 schematic window made for each test.
class SchematicWindowTest : public SchematicTest {
protected:
    void SetUp() override
    {
        SchematicTest::SetUp();
        record_ = NewSchematic(600, 400);
        ASSERT_NE(record_, nullptr);
    }
    WindowRecord* record_ = nullptr;
};

// A white memory bitmap with a DC, for pixel probes of what the renderer draws.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height)
    {
        win::HDC screen = win::GetDC(nullptr);
        dc_ = win::CreateCompatibleDC(screen);
        bitmap_ = win::CreateCompatibleBitmap(screen, width, height);
        win::ReleaseDC(nullptr, screen);
        old_ = win::SelectObject(dc_, bitmap_);
        Clear(win::RGB(255, 255, 255));
    }
    ~Canvas()
    {
        win::SelectObject(dc_, old_);
        win::DeleteObject(bitmap_);
        win::DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    win::HDC dc() const { return dc_; }
    void Clear(win::COLORREF color)
    {
        win::HBRUSH brush = win::CreateSolidBrush(color);
        win::RECT r{0, 0, width_, height_};
        win::FillRect(dc_, &r, brush);
        win::DeleteObject(brush);
    }
    win::COLORREF At(int x, int y) const { return win::GetPixel(dc_, x, y) & 0xFFFFFF; }
    bool IsWhite(int x, int y) const { return At(x, y) == win::RGB(255, 255, 255); }
    // Pixels of the colour inside the rectangle.
    int Count(const win::RECT& r, win::COLORREF color) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += At(x, y) == color;
        return n;
    }
    // The first column from `from` up to `to` with ink at both heights (a vertical line
    // crossing them), or -1.
    int FirstInkedColumn(int from, int to, int y1, int y2) const
    {
        for (int x = from; x < to; ++x)
            if (!IsWhite(x, y1) && !IsWhite(x, y2)) return x;
        return -1;
    }
    int NonWhite(const win::RECT& r) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += !IsWhite(x, y);
        return n;
    }

private:
    int width_;
    int height_;
    win::HDC dc_ = nullptr;
    win::HBITMAP bitmap_ = nullptr;
    win::HGDIOBJ old_ = nullptr;
};

// Renders page `page` of the record's document into the canvas as if the canvas were the pane:
// scroll origin 0, 0 unless the page says otherwise.
inline void RenderInto(Canvas& canvas, WindowRecord* record, int width, int height, int pane = 3)
{
    ResetDrawRange(record);
    DrawContext context;
    InitDrawContext(canvas.dc(), context, record, pane);
    context.paneRect = {0, 0, width, height};
    context.updateRect = context.paneRect;
    DrawSchematicView(context);
}

}  // namespace kq5::testing
