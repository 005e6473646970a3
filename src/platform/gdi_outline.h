#pragma once
// Outlines drawn with the DC's pen: one-pixel pens are stepped pixel by pixel (with the classic
// style patterns, the last pixel of a line left out), wider pens are stroked by Cairo with round
// caps and joins. The result is a pen mask and, for styled pens, a mask of the gaps.
#include <vector>

#include "platform/gdi_raster.h"

namespace win {

struct PenInfo {
    bool null = true;
    int width = 1;       // device pixels
    int style = 0;       // PS_* (styles other than solid only on one-pixel pens)
    bool insideFrame = false;
    COLORREF color = 0;
};

PenInfo CurrentPen(HDC dc);

class OutlineBuilder {
public:
    // bounds: the area of interest in surface coordinates (pixels outside are dropped).
    OutlineBuilder(const PenInfo& pen, const RECT& bounds);

    // A polyline of pixel positions (surface coordinates). closed joins the last point to the
    // first; otherwise the final pixel is left out for one-pixel pens, as LineTo does.
    void AddPolyline(const std::vector<POINT>& points, bool closed);
    // Renders collected wide strokes; call once before reading the masks.
    void Finish();

    Mask& PenMask() { return pen_; }
    Mask& GapMask() { return gap_; }
    bool HasGaps() const { return styled_; }

private:
    void Step(POINT a, POINT b);
    void Plot(LONG x, LONG y);

    PenInfo info_;
    Mask pen_;
    Mask gap_;
    bool styled_ = false;
    const int* dashes_ = nullptr;
    int dashCount_ = 0;
    int dashIndex_ = 0;
    int dashLeft_ = 0;
    std::vector<std::pair<std::vector<POINT>, bool>> wide_;
};

// Paints an outline's gaps (OPAQUE background) and pen pixels with the DC's raster operation.
void PaintOutline(HDC dc, OutlineBuilder& outline, const PenInfo& pen);

// Bounding box of points grown by a margin and cut to the DC's clip bounds.
RECT MaskBounds(HDC dc, const std::vector<POINT>& points, int margin);

}  // namespace win
