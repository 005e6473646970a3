#include "plots/plot_click_services.h"

namespace kq5 {

int HandleProbeClick(WindowRecord*, int, int, int) { return 0; }
int HandleProbeMenuCommand(int) { return 1; }
void AddPlotTextObject(WindowRecord*, int, int, int) {}
void ToggleInteractiveSwitch(WindowRecord*, SchematicItem*) {}

}  // namespace kq5
