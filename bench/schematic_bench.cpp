// Times the repaint of a schematic page of 2,000 parts with their wires in a headless schematic
// window: at view scale 1 (a window's worth of the page) and at scale 8 (the whole page in view,
// every part drawn). The goal is 50 ms for a repaint.
//
//   schematic_bench [repeats]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ui/app_state.h"
#include "ui/color_table.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "platform/backend.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "schematic/schematic_view.h"
#include "document/component_definition.h"
#include "document/pane_scroll_bars.h"
#include "schematic/schematic_view.h"
#include "document/shape_library.h"

namespace {

using namespace kq5;
using Clock = std::chrono::steady_clock;

constexpr int kParts = 2000;
constexpr int kColumns = 50;
constexpr int kSpacing = 10;

double RepaintMs(WindowRecord* record, int repeats)
{
    const auto start = Clock::now();
    for (int i = 0; i < repeats; ++i) {
        win::RedrawWindow(record->window, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_UPDATENOW);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / repeats;
}

}  // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    win::ResetPlatformForTests(1024, 768);
    InitCharClasses();
    ResetAppStateForTests();
    ResetDocumentServicesForTests();
    InstallDocumentWindowClasses();
    CreateAppPalette();
    InitColorTable();
    // A resistor-sized shape extent, so that culling sees real part bounds.
    ComponentShape shape;
    shape.extent = win::RECT{0, -8, 48, 8};
    SetShape(1, shape);
    ComponentDefinition definition;
    definition.name = "R";
    definition.shapeIndex = 1;
    definition.pins = {{0, 0, "1", 0, {}}, {6, 0, "2", 0, {}}};

    WindowRecord* record = NewDocumentWindow(kWindowSchematic);
    if (record == nullptr) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    win::MoveWindow(record->window, 0, 0, 1024, 768, 1);
    win::ShowWindow(record->window, win::SW_SHOW);
    CircuitDocument& document = *record->document;
    document.backgroundColor = 15;
    document.componentFont.color = 12;
    document.wireFont.color = 2;
    for (int i = 0; i < kParts; ++i) {
        const int x = 4 + (i % kColumns) * kSpacing;
        const int y = 4 + (i / kColumns) * kSpacing;
        SchematicItem* part = NewSchematicItem(record);
        part->itemKind = kItemComponent;
        part->x1 = part->x2 = x;
        part->y1 = part->y2 = y;
        part->definition = &definition;
        for (const auto& [dx, dy, x2, y2] : {std::array<int, 4>{6, 0, kSpacing, 0}, std::array<int, 4>{0, 0, 0, kSpacing}}) {
            SchematicItem* wire = NewSchematicItem(record);
            wire->itemKind = kItemWire;
            wire->x1 = x + dx;
            wire->y1 = y + dy;
            wire->x2 = x + x2;
            wire->y2 = y + y2;
        }
    }
    CheckPageExtent(record, 0);
    UpdatePaneScrollBars(record);
    RepaintMs(record, 1);  // fonts and caches warm up

    std::printf("schematic repaint, %d parts and %d wires on one page, window 1024 x 768\n", kParts, 2 * kParts);
    int status = 0;
    for (double scale : {1.0, 8.0}) {
        document.zoomFactor = scale;
        const double ms = RepaintMs(record, repeats);
        std::printf("  view scale %-3g  %8.2f ms per repaint (goal 50 ms)%s\n", scale, ms, ms > 50.0 ? "  OVER" : "");
        if (ms > 50.0) status = 2;
    }
    for (SchematicItem* item = ListHead<SchematicItem>(document.itemList); item; item = ListNext(item))
        item->definition = nullptr;
    win::DestroyWindow(record->window);
    return status;
}
