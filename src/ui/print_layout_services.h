#pragma once
// What the windows printed in a graphics layout give it, by window kind.
#include <functional>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;
struct PrintPreview;

// What the Monte Carlo, 3-D and performance windows give the layout: where their include flag
// and placement are kept, and how they draw into a rectangle of a page.
struct LayoutWindowServices {
    std::function<PrintPreview*(WindowRecord*)> placement;
    std::function<void(WindowRecord*, win::HDC, const win::RECT&)> draw;
};
void SetLayoutWindowServices(int windowKind, LayoutWindowServices services);
// The services a window kind gave, or null.
const LayoutWindowServices* LayoutServicesOf(int windowKind);

}  // namespace kq5
