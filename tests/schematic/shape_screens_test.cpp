// Pictures of every component definition's shape in its eight orientations, at zoom 1 and 0.25,
// written into build/screens/ for looking at; every definition must find its shape.
#include <algorithm>

#include "../app/screen_test_support.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "schematic/shape_draw.h"
#include "shape_test_support.h"

namespace kq5::testing {
namespace {

class ShapeScreens : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        InitCharClasses();
        LoadBuiltLibraries();
    }
    void TearDown() override
    {
        ResetShapeLibraryForTests();
        ResetComponentLibraryForTests();
        ScreenTest::TearDown();
    }

    // Pages of definitions: a name column, then the eight orientations in cells of `cell` pixels,
    // `columns` such groups side by side.
    void ShootAll(const std::string& prefix, int cell, int columns, int zoomDivisor)
    {
        std::vector<const ComponentDefinition*> all;
        for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) all.push_back(&d);
        const int nameWidth = 100;
        const int groupWidth = nameWidth + 8 * cell;
        const int rows = kHeight / cell;
        const int perPage = rows * columns;
        for (std::size_t first = 0, page = 1; first < all.size(); first += static_cast<std::size_t>(perPage), ++page) {
            win::HDC dc = win::GetDC(nullptr);
            const win::RECT screen{0, 0, kWidth, kHeight};
            win::FillRect(dc, &screen, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
            win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, 0x00000080);
            win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
            win::HPEN grid = win::CreatePen(win::PS_SOLID, 1, 0x00E0E0E0);
            for (int slot = 0; slot < perPage && first + static_cast<std::size_t>(slot) < all.size(); ++slot) {
                const ComponentDefinition& d = *all[first + static_cast<std::size_t>(slot)];
                const int x0 = (slot / rows) * groupWidth, y0 = (slot % rows) * cell;
                win::TextOut(dc, x0 + 2, y0 + 2, d.name.c_str(), static_cast<int>(std::min<std::size_t>(d.name.size(), 14)));
                for (int orientation = 0; orientation < 8; ++orientation) {
                    const int cx = x0 + nameWidth + orientation * cell + cell / 2, cy = y0 + cell / 2;
                    win::SelectObject(dc, grid);
                    win::MoveToEx(dc, cx - 3, cy, nullptr);
                    win::LineTo(dc, cx + 4, cy);
                    win::MoveToEx(dc, cx, cy - 3, nullptr);
                    win::LineTo(dc, cx, cy + 4);
                    win::SelectObject(dc, pen);
                    // The renderer draws in logical units of a grid eighth; a zoom maps them down.
                    const int saved = win::SaveDC(dc);
                    win::SetMapMode(dc, win::MM_ANISOTROPIC);
                    win::SetWindowExtEx(dc, zoomDivisor, zoomDivisor, nullptr);
                    win::SetViewportExtEx(dc, 1, 1, nullptr);
                    win::SetViewportOrgEx(dc, cx, cy, nullptr);
                    EXPECT_NE(DrawShapeByIndex(dc, d.shapeIndex, 0, 0, orientation, 0x920), 0) << d.name << " Shape not Found";
                    win::RestoreDC(dc, saved);
                }
            }
            win::SelectObject(dc, oldPen);
            win::DeleteObject(pen);
            win::DeleteObject(grid);
            win::ReleaseDC(nullptr, dc);
            Shoot(prefix + "_" + (page < 10 ? "0" : "") + std::to_string(page));
        }
    }
};

TEST_F(ShapeScreens, EveryDefinitionInEightOrientationsAtZoomOne)
{
    ShootAll("shapes_zoom1", 84, 1, 1);
}

TEST_F(ShapeScreens, EveryDefinitionInEightOrientationsAtZoomAQuarter)
{
    ShootAll("shapes_zoom025", 28, 2, 4);
}

}  // namespace
}  // namespace kq5::testing
