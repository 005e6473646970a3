#include "plots/plot_object_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "analog/run_control.h"
#include "ui/font_select.h"
#include "ui/window_record.h"
#include "core/linked_list.h"
#include "document/schematic_item.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "plots/analysis_window.h"
#include "results/curve_record.h"
#include "plots/plot_axes.h"
#include "plots/plot_layout.h"
#include "results/plot_object.h"
#include "document/hit_test.h"
#include "plots/plot_object_dialogs.h"
#include "plots/plot_object_geometry.h"
#include "plots/plot_object_moves.h"
#include "plots/plot_view.h"
#include "results/plot_view_settings.h"
#include "schematic/graphic_objects.h"

namespace kq5 {

namespace {

constexpr unsigned kTextFlags = win::DT_SINGLELINE | win::DT_NOPREFIX | win::DT_NOCLIP;
// Colour index 0 is black: what a device without colours draws objects with.
constexpr int kBlackIndex = 0;

std::uint16_t KindOf(const PlotObject& object) { return object.style & kStyleKindMask; }

const CurveRecord* AttachedCurve(const PlotRecord& plot, const PlotObject& object)
{
    if (object.w < 0 || object.w >= plot.curveCount || object.w >= static_cast<int>(plot.curves.size())) return nullptr;
    return plot.curves[static_cast<std::size_t>(object.w)].get();
}

// The object's font at the size the plot font has on this device.
win::HFONT ScaledObjectFont(WindowRecord* window, win::HDC dc, const PlotObject& object)
{
    FontSpec spec = object.font;
    const int base = spec.height != 0 ? spec.height : PlotViewOf(window->plot).textFont.height;
    int height = static_cast<int>(std::lround((base != 0 ? base : -13) * ComputePlotScaleFactor(window, dc, -1)));
    if (height == 0) height = base < 0 ? -1 : 1;
    spec.height = static_cast<std::int16_t>(std::clamp(height, -32767, 32767));
    return CreateFontFromSpec(spec);
}

// One text at (x, y): its measured box; drawn when draw is set.
win::RECT PlaceText(win::HDC dc, const std::string& text, int x, int y, bool draw)
{
    win::RECT box{x, y, x, y};
    win::DrawText(dc, text, &box, kTextFlags | win::DT_CALCRECT);
    if (draw) win::DrawText(dc, text, &box, kTextFlags);
    return box;
}

void Line(win::HDC dc, int x1, int y1, int x2, int y2)
{
    win::MoveToEx(dc, x1, y1, nullptr);
    win::LineTo(dc, x2, y2);
}

// The value text a tag shows: a digital curve's values as state letters.
std::string TagValueText(const CurveRecord* curve, int axis, double value)
{
    std::string text = !curve                                  ? std::to_string(value)
                       : axis == kWaveformY && curve->digital ? FormatDigitalValueText(*curve, value)
                                                              : FormatCurveValue(*curve, axis, value);
    // Readout formats pad to a column width; a tag shows the value alone.
    const std::size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

struct Ink {
    win::COLORREF line = 0;
    win::COLORREF text = 0;
    win::COLORREF background = 0;
    int lineIndex = 0;
    int fillIndex = 0;
};

void Grow(win::RECT& bounds, const win::RECT& r)
{
    bounds.left = std::min({bounds.left, r.left, r.right});
    bounds.right = std::max({bounds.right, r.left, r.right});
    bounds.top = std::min({bounds.top, r.top, r.bottom});
    bounds.bottom = std::max({bounds.bottom, r.top, r.bottom});
}

win::RECT Normalized(const win::RECT& r)
{
    return win::RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                     std::max(r.top, r.bottom)};
}

// A measuring tag: dotted guides from both points to the dimension line, the line with its
// arrowheads, and the difference beside it. Its bounds, drawn or not.
win::RECT DrawMeasureTag(WindowRecord* window, win::HDC dc, const PlotObject& object, const win::RECT& r, const Ink& ink,
                         bool draw)
{
    const PlotRecord& plot = *window->plot;
    const bool vertical = KindOf(object) == kObjectMeasureV;
    const int at = GetDimensionLinePixel(window, object);
    if (draw) {
        const win::HPEN dotted = win::CreatePen(win::PS_DOT, 1, ink.line);
        const win::HPEN solid = win::CreatePen(win::PS_SOLID, 1, ink.line);
        const win::HGDIOBJ old = win::SelectObject(dc, dotted);
        if (vertical) {
            Line(dc, r.left, r.top, at, r.top);
            Line(dc, r.right, r.bottom, at, r.bottom);
        } else {
            Line(dc, r.left, r.top, r.left, at);
            Line(dc, r.right, r.bottom, r.right, at);
        }
        win::SelectObject(dc, solid);
        const ArrowHead a = vertical ? ComputeArrowHead(at, r.bottom, at, r.top, kTagArrowSize)
                                     : ComputeArrowHead(r.right, at, r.left, at, kTagArrowSize);
        const ArrowHead b = vertical ? ComputeArrowHead(at, r.top, at, r.bottom, kTagArrowSize)
                                     : ComputeArrowHead(r.left, at, r.right, at, kTagArrowSize);
        if (vertical) Line(dc, at, r.top, at, r.bottom);
        else Line(dc, r.left, at, r.right, at);
        DrawArrowHead(dc, a, false);
        DrawArrowHead(dc, b, false);
        win::SelectObject(dc, old);
        win::DeleteObject(dotted);
        win::DeleteObject(solid);
    }

    const CurveRecord* curve = AttachedCurve(plot, object);
    const int axis = vertical ? kWaveformY : kWaveformX;
    const double difference = vertical ? object.y2 - object.y1 : object.x2 - object.x1;
    const std::string text = TagValueText(curve, axis, difference);
    win::RECT bounds = Normalized(r);
    Grow(bounds, vertical ? win::RECT{at - kTagArrowSize, r.top, at + kTagArrowSize, r.bottom}
                          : win::RECT{r.left, at - kTagArrowSize, r.right, at + kTagArrowSize});
    Grow(bounds, vertical ? PlaceText(dc, text, at + kTagArrowSize, (r.top + r.bottom) / 2, draw)
                          : PlaceText(dc, text, (r.left + r.right) / 2, at + 2, draw));
    return bounds;
}

// A point tag: a box marker at the data point, a leader to the label and the point's values.
// Its bounds, drawn or not.
win::RECT DrawPointTag(WindowRecord* window, win::HDC dc, const PlotObject& object, const win::RECT& r, const Ink& ink,
                       bool draw)
{
    const CurveRecord* curve = AttachedCurve(*window->plot, object);
    if (draw) {
        const win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, ink.line);
        const win::HGDIOBJ old = win::SelectObject(dc, pen);
        const win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
        win::Rectangle(dc, r.left - kTagMarkerHalf, r.top - kTagMarkerHalf, r.left + kTagMarkerHalf + 1,
                       r.top + kTagMarkerHalf + 1);
        if (r.right != r.left || r.bottom != r.top) Line(dc, r.left, r.top, r.right, r.bottom);
        win::SelectObject(dc, oldBrush);
        win::SelectObject(dc, old);
        win::DeleteObject(pen);
    }
    const std::string text = TagValueText(curve, kWaveformX, object.x1) + ", " + TagValueText(curve, kWaveformY, object.y1);
    win::RECT bounds = Normalized(r);
    Grow(bounds, win::RECT{r.left - kTagMarkerHalf, r.top - kTagMarkerHalf, r.left + kTagMarkerHalf, r.top + kTagMarkerHalf});
    Grow(bounds, PlaceText(dc, text, r.right + 2, r.bottom - 2, draw));
    return bounds;
}

void DrawTextObject(WindowRecord* window, win::HDC dc, win::RECT& r, const PlotObject& object, const Ink& ink, bool draw)
{
    const win::HFONT font = ScaledObjectFont(window, dc, object);
    const win::HGDIOBJ old = win::SelectObject(dc, font);
    const bool opaque = (object.style & kTextOpaque) != 0;
    if (draw) {
        win::SetTextColor(dc, ink.text);
        win::SetBkColor(dc, ink.background);
        win::SetBkMode(dc, opaque ? win::OPAQUE : win::TRANSPARENT);
    }
    const win::RECT box = PlaceText(dc, object.text, r.left, r.top, draw);
    r.right = box.right;
    r.bottom = box.bottom;
    if (draw && (object.style & kTextBorder)) {
        const win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, ink.text);
        const win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
        const win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
        win::Rectangle(dc, box.left - 2, box.top - 1, box.right + 2, box.bottom + 1);
        win::SelectObject(dc, oldBrush);
        win::SelectObject(dc, oldPen);
        win::DeleteObject(pen);
    }
    win::SelectObject(dc, old);
    win::DeleteObject(font);
}

// The colours of one drawing; a line or text colour equal to its background is flipped for good.
Ink InkFor(WindowRecord* window, win::HDC dc, PlotObject& object)
{
    const PlotRecord& plot = *window->plot;
    const PlotViewSettings& view = PlotViewOf(window->plot);
    const int background = object.w >= 0 ? view.graphBackground : view.windowBackground;
    if (object.color == background) object.color ^= 15;
    if (object.font.color == background) object.font.color ^= 15;
    Ink ink;
    const bool colours = UseColorOnDC(plot, dc);
    ink.lineIndex = colours ? object.color : kBlackIndex;
    ink.fillIndex = colours ? object.fillColor : kBlackIndex;
    ink.line = DrawColorRef(plot, dc, PickDrawColor(plot, dc, object.color));
    ink.text = DrawColorRef(plot, dc, PickDrawColor(plot, dc, object.font.color));
    ink.background = DrawColorRef(plot, dc, PickDrawColor(plot, dc, background), true);
    return ink;
}

void DrawObjectByKind(WindowRecord* window, win::HDC dc, win::RECT& r, PlotObject& object, bool draw)
{
    const std::uint16_t kind = KindOf(object);
    if (kind == kObjectText) {
        const Ink ink = draw ? InkFor(window, dc, object) : Ink{};
        DrawTextObject(window, dc, r, object, ink, draw);
        return;
    }
    if (!draw) return;
    const Ink ink = InkFor(window, dc, object);
    win::SetTextColor(dc, ink.line);
    win::SetBkMode(dc, win::TRANSPARENT);
    switch (kind) {
    case kObjectMeasureV:
    case kObjectMeasureH: DrawMeasureTag(window, dc, object, r, ink, true); return;
    case kObjectTag: DrawPointTag(window, dc, object, r, ink, true); return;
    default: {
        GraphicObject shape;
        shape.owner = window;
        shape.x1 = r.left;
        shape.y1 = r.top;
        shape.x2 = r.right;
        shape.y2 = r.bottom;
        shape.style = object.style;
        shape.lineColor = static_cast<std::uint32_t>(ink.lineIndex);
        shape.fillColor = static_cast<std::uint32_t>(kind == kObjectLine ? ink.lineIndex : ink.fillIndex);
        shape.selection = object.selection;
        shape.text = object.text;
        DrawShapeObject(dc, shape);
        return;
    }
    }
}

}  // namespace

void DrawPlotObject(WindowRecord* window, win::HDC dc, win::RECT& pixels, PlotObject& object)
{
    pixels = PlotObjectPixelRect(window, object, dc);
    if (!window || !window->plot || !dc) return;
    DrawObjectByKind(window, dc, pixels, object, true);
}

win::RECT GetPlotObjectBounds(WindowRecord* window, const PlotObject& object)
{
    const std::uint16_t kind = KindOf(object);
    if (kind == 0) return win::RECT{-1, -1, -1, -1};
    win::RECT r = PlotObjectPixelRect(window, object);
    const bool measured = kind == kObjectText || kind == kObjectTag || kind == kObjectMeasureH || kind == kObjectMeasureV;
    if (!measured || !window || !window->plot || !window->window) return Normalized(r);
    // Texts and tags reach as far as their texts do, in the font they are drawn with.
    const win::HDC dc = win::GetDC(window->window);
    const win::HGDIOBJ oldFont = window->plot->plotFontHandle ? win::SelectObject(dc, window->plot->plotFontHandle) : nullptr;
    win::RECT bounds{};
    if (kind == kObjectText) {
        DrawTextObject(window, dc, r, object, Ink{}, false);
        bounds = Normalized(r);
    } else if (kind == kObjectTag) {
        bounds = DrawPointTag(window, dc, object, r, Ink{}, false);
    } else {
        bounds = DrawMeasureTag(window, dc, object, r, Ink{}, false);
    }
    if (oldFont) win::SelectObject(dc, oldFont);
    win::ReleaseDC(window->window, dc);
    return bounds;
}

void DrawPlotObjects(WindowRecord* window, win::HDC given, int group, const PlotObject* last)
{
    if (!window || !window->plot || RunControl().running) return;
    PlotRecord& plot = *window->plot;
    if (!plot.objects.head) return;
    win::HDC dc = given;
    if (!dc) {
        if (!window->window) return;
        dc = win::GetDC(window->window);
        win::RealizePalette(dc);
    }
    const bool clip = !IsMetafileDC(dc);
    // Tags write their values in the plot font, whatever the device context held before.
    const win::HGDIOBJ oldFont = plot.plotFontHandle ? win::SelectObject(dc, plot.plotFontHandle) : nullptr;
    for (ListNode* node = plot.objects.head; node; node = node->next) {
        auto& object = static_cast<PlotObject&>(*node);
        const CurveRecord* curve = AttachedCurve(plot, object);
        const bool ofKind = object.analysisKind == plot.analysisKind + 1 && KindOf(object) != 0;
        const bool present = object.w < 0 || curve;
        const bool inGroup = group < 0 || object.w < 0 || (curve && curve->plotGroup == group);
        if (ofKind && present && inGroup && (object.layer & kPlotObjectLayer)) {
            const int saved = curve && clip ? win::SaveDC(dc) : 0;
            if (saved) {
                const win::RECT& r = curve->plotRect;
                win::IntersectClipRect(dc, r.left, r.top, r.right + 1, r.bottom + 1);
            }
            win::RECT pixels{};
            DrawPlotObject(window, dc, pixels, object);
            if (saved) win::RestoreDC(dc, saved);
        }
        if (&object == last) break;
    }
    if (oldFont) win::SelectObject(dc, oldFont);
    if (!given) win::ReleaseDC(window->window, dc);
}

void InstallPlotObjectDrawing()
{
    PlotViewDrawHooks().drawObjects = [](WindowRecord* window, win::HDC dc) { DrawPlotObjects(window, dc, -1, nullptr); };
    PlotObjectHooks& hooks = PlotObjectCalls();
    hooks.findPlotAtPoint = FindPlotAtPoint;
    hooks.pixelRect = [](WindowRecord* record, const PlotObject& object) { return PlotObjectPixelRect(record, object); };
    hooks.bounds = GetPlotObjectBounds;
    hooks.dimensionLinePixel = GetDimensionLinePixel;
    hooks.setDimensionLineFromPixel = SetDimensionLineFromPixel;
    hooks.setPointsFromPixels = SetObjectPointsFromPixels;
    hooks.snapToCurves = SnapObjectToCurves;
    hooks.offsetItemRect = OffsetItemRect;
    hooks.editDialog = EditPlotObjectDialog;
    hooks.textDialog = RunAnalysisTextDialog;
}

}  // namespace kq5
