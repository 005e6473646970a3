// Texts the user places on a plot with the "Text Abs" and "Text Rel" modes.
#include <new>

#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/schematic_item.h"
#include "document/selection.h"
#include "platform/paint.h"
#include "results/curve_record.h"
#include "plots/plot_click_services.h"
#include "results/plot_object.h"
#include "plots/plot_object_dialogs.h"
#include "plots/plot_object_geometry.h"
#include "results/plot_view_settings.h"

namespace kq5 {

void AddPlotTextObject(WindowRecord* record, int x, int y, int plot)
{
    if (!record || !record->plot) return;
    PlotObject edited;
    edited.font = PlotViewOf(record->plot).textFont;
    if (RunAnalysisTextDialog(record, edited) != 1 || edited.text.empty()) return;
    ClearSelection(record);
    PlotObject* object = CreatePlotObject(record, kObjectText, plot, win::RECT{x, y, x, y});
    if (!object) return;
    object->font = edited.font;
    object->text = std::move(edited.text);
    object->style = static_cast<std::uint16_t>(kObjectText | (edited.style & (kTextOpaque | kTextBorder)));
    RecordPlotObjectAdded(record, *object);
    SetRedrawFlags(record);
    if (record->window) win::InvalidateRect(record->window, nullptr, 0);
}

}  // namespace kq5
