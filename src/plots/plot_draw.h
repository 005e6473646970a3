#pragma once
// Drawing the curves of a plot: one segment per curve and accepted point while a run goes on,
// the full redraw from the waveform store, the clipping of segments to what the device draws
// exactly, curve tokens, and the captions and value readouts below each plot group.
#include <cstdint>

#include "platform/win_types.h"
#include "results/curve_record.h"

namespace kq5 {

struct WindowRecord;

// Coordinates a device draws exactly: 32767 on a metafile (16-bit records); elsewhere a bound
// well inside what Cairo's fixed-point paths hold.
double SegmentCoordinateLimit(win::HDC dc);
// Cuts the segment to the square of +-limit; false when nothing of it lies inside.
bool ClipSegmentToLimit(double& x1, double& y1, double& x2, double& y2, double limit);
// Cuts the segment to the box (edges included); false when nothing of it lies inside.
bool ClipSegmentToBox(double& x1, double& y1, double& x2, double& y2, double left, double top, double right,
                      double bottom);
// A line (box false) or a rectangle (box true) after clipping to the device's limit.
void DrawClippedSegment(win::HDC dc, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, bool box);

// The pen of a curve for the device: its colour (kept off the graph background), width and
// pattern. The caller deletes it.
win::HPEN MakeCurvePen(WindowRecord* window, win::HDC dc, const CurveRecord& curve);

// Draws the curve's new point (px, py; py a state code for a digital curve) joined to its
// previous one, with the pen selected in the DC; with clip, the lines are cut to the curve's plot
// rectangle here rather than by the DC's clip region.
void DrawCurveSegment(WindowRecord* window, win::HDC dc, CurveRecord& curve, std::int32_t px, std::int32_t py,
                      bool join, bool clip = false);

// Redraws the stored points of the curves of group (-1: all).
void DrawStoredCurves(WindowRecord* window, win::HDC dc, int group);

// Token marks: mode 1 resets every curve's last token position; 2 and 4 draw without the
// spacing test; 4 also outside the plot rectangle.
void DrawCurveToken(WindowRecord* window, win::HDC dc, int curveIndex, win::POINT point, int mode);

// Captions and readouts of the curves of group (-1: all).
void DrawCurveReadouts(WindowRecord* window, win::HDC dc, int group);
// a / b as a readout: QuotientText right-aligned in the box.
void DrawQuotientText(win::HDC dc, double a, double b, const win::RECT& rect, win::COLORREF background);
// Text in a box; on a display with flag 2 the box is first filled with the background colour.
void DrawTextWithBackground(win::HDC dc, const win::RECT& rect, const std::string& text, unsigned flags,
                            win::COLORREF background);

}  // namespace kq5
