#include "plots/plot_click_services.h"

namespace kq5 {

void ZoomPlotToBox(WindowRecord*, const win::RECT&) {}
int AddPlotObjectFromDrag(WindowRecord*, std::uint16_t, const win::RECT&) { return 0; }
void ToggleInteractiveSwitch(WindowRecord*, SchematicItem*) {}

}  // namespace kq5
