#include "plots/plot_click_services.h"

namespace kq5 {

void ToggleInteractiveSwitch(WindowRecord*, SchematicItem*) {}

}  // namespace kq5
