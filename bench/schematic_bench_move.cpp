// Times one move step of a selection of 200 parts with rubber-banding: every part has an
// unselected wire on each pin, so each step moves 200 parts and 400 wire ends and draws the
// outlines twice (erase and draw) on the window. Goal: at most 16 ms a step.
//
//   schematic_bench_move [steps]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/component_types.h"
#include "platform/backend.h"
#include "platform/window.h"
#include "document/component_definition.h"
#include "schematic/move_selection.h"
#include "document/pane_seams.h"

namespace {

using namespace kq5;
using Clock = std::chrono::steady_clock;

win::LRESULT BenchProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    return win::DefWindowProc(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    const int steps = argc > 1 ? std::atoi(argv[1]) : 200;
    InitCharClasses();
    win::ResetPlatformForTests(1280, 1024);
    win::WNDCLASS wc{};
    wc.lpfnWndProc = BenchProc;
    wc.lpszClassName = "BenchCir";
    win::RegisterClass(&wc);
    win::HWND hwnd = win::CreateWindowEx(0, "BenchCir", "bench", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 0, 0, 1280, 1024,
                                         nullptr, nullptr, nullptr, nullptr);
    WindowRecord* record = NewWindowRecord(hwnd, kWindowSchematic, true);
    CircuitDocument& document = *record->document;
    document.zoomFactor = 4.0;  // the whole drawing in view
    Settings().operationalOptions |= kOptionRubberbanding;
    // The outlines are drawn into the largest pane.
    long largest = 0;
    for (int pane = 0; pane < 4; ++pane) {
        win::RECT r{};
        GetPaneRect(record, pane, r);
        const long area = static_cast<long>(r.right - r.left) * (r.bottom - r.top);
        if (area > largest) {
            largest = area;
            document.currentPane = pane;
        }
    }
    std::printf("pane %d, %ld pixels\n", document.currentPane, largest);

    ComponentDefinition resistor;
    resistor.type = kComponentResistor;
    resistor.pins = {DefinitionPin{}, DefinitionPin{}};
    resistor.pins[1].dx = 4;
    for (int i = 0; i < 200; ++i) {
        const int x = 20 + (i % 20) * 12;
        const int y = 20 + (i / 20) * 12;
        SchematicItem* part = NewSchematicItem(record);
        part->itemKind = kItemComponent;
        part->definition = &resistor;
        part->x1 = x;
        part->y1 = y;
        part->selection = kSelected;
        for (int pin = 0; pin < 2; ++pin) {
            SchematicItem* wire = NewSchematicItem(record);
            wire->itemKind = kItemWire;
            wire->x1 = x + 4 * pin;
            wire->y1 = y;
            wire->x2 = x + 4 * pin;
            wire->y2 = y + 5;
        }
    }
    if (MoveSelection(record, 100, 100, kMouseLeft, kMoveBegin, kMoveRubberBand) != 0) return 1;
    const auto start = Clock::now();
    for (int i = 1; i <= steps; ++i) MoveSelection(record, 100 + (i % 2), 100 + (i % 3), kMouseLeft, kMoveStep, kMoveRubberBand);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / steps;
    MoveSelection(record, 100, 100, 0, kMoveEnd, kMoveRubberBand);
    std::printf("move step of 200 parts with rubber-banding: %.3f ms (goal 16 ms)\n", ms);
    return ms <= 16.0 ? 0 : 2;
}
