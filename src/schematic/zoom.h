#pragma once
// Zoom In and Zoom Out of the active window. All panes of a schematic window share one view
// scale (scroll units per pixel): 0.25 shows a grid unit as 32 pixels, 8 as one pixel.
namespace kq5 {

struct WindowRecord;

constexpr int kCommandZoomIn = 17504;
constexpr int kCommandZoomOut = 17505;
constexpr double kMinViewScale = 0.25;
constexpr double kMaxViewScale = 8.0;
constexpr int kMaxTextZoomHeight = 72;

// Zoom In / Zoom Out: a schematic keeps the centre of what each pane shows; a text editor with
// the focus changes its font height by one point instead.
void ZoomWindow(WindowRecord* record, int command);
// Shift + right click: scale 4 from 1, else 1, centred on the clicked grid point.
void QuickZoom(WindowRecord* record, int pane, int gx, int gy);

}  // namespace kq5
