#include "plots/plot_click_services.h"

#include "digital/digital_stimulus.h"
#include "document/connectivity.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "plots/curve_ranges.h"
#include "plots/plot_object_geometry.h"
#include "plots/plot_object_moves.h"
#include "document/circuit_document.h"
#include "document/editor_services.h"
#include "document/selection.h"
#include "results/plot_object.h"
#include "ui/window_record_utils.h"
#include "platform/paint.h"
#include "ui/window_record.h"

namespace kq5 {

void ZoomPlotToBox(WindowRecord* record, const win::RECT& box)
{
    const int curve = FindPlotAtPoint(record, box.left, box.top);
    if (curve < 0) return;
    ZoomCurvesToRect(record, curve, win::POINT{box.left, box.top}, win::POINT{box.right, box.bottom});
}

void RecordPlotObjectAdded(WindowRecord* record, PlotObject& object)
{
    // The new object alone is the selection, so that Undo takes it away again.
    object.selection = kSelected;
    SetUndoKind(record, kUndoPlaceItems);
}

int AddPlotObjectFromDrag(WindowRecord* record, std::uint16_t style, const win::RECT& pixels)
{
    const int curve = FindPlotAtPoint(record, pixels.left, pixels.top);
    ClearSelection(record);
    PlotObject* object = CreatePlotObject(record, style, curve, pixels);
    if (object == nullptr) return 0;
    RecordPlotObjectAdded(record, *object);
    // The new object shows at once, and the circuit has something to save.
    SetRedrawFlags(record);
    if (record->window) win::InvalidateRect(record->window, nullptr, 0);
    return 1;
}

void ToggleInteractiveSwitch(WindowRecord* record, SchematicItem* item)
{
    if (!item || !item->IsComponent() || ItemComponentType(item) != kComponentDigitalSwitch) return;
    item->switchOn = item->switchOn ? 0 : 1;
    // A run in hand takes the new level; when it cannot, the lever stays where the run has it.
    if (ScheduleSwitchLevel(item) != 0) {
        item->switchOn = item->switchOn ? 0 : 1;
        return;
    }
    // The lever moves: the old one has to be erased, not drawn over.
    RepaintAfterEdit(record);
}

}  // namespace kq5
