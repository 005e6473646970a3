#include "plots/plot_click_services.h"

namespace kq5 {

void ClickMoveCursor(WindowRecord*, unsigned, int, int) {}
int AnalysisClickPrepare(WindowRecord*, int, int) { return 0; }
void ZoomPlot(WindowRecord*, int) {}
void DragPlot(WindowRecord*, win::POINT, win::POINT) {}
void ToggleInteractiveSwitch(WindowRecord*, SchematicItem*) {}
void TogglePlotCursors(WindowRecord*) {}

}  // namespace kq5
