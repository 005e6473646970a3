#include "plots/plot_cursors.h"

#include <algorithm>
#include <cmath>

#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "core/digital_logic_tables.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_raster.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "platform/win_messages.h"
#include "plots/plot_axes.h"
#include "plots/plot_draw.h"
#include "plots/plot_layout.h"
#include "plots/plot_object_moves.h"
#include "plots/plot_view.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

constexpr int kMsgLeft = 13612;
constexpr int kMsgRight = 13613;
constexpr int kMsgDelta = 13614;
constexpr int kMsgSlope = 13615;
constexpr double kScanStart = 9.999999999999998e+37;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

PlotRecord* PlotOf(WindowRecord* window) { return window && window->plot ? window->plot.get() : nullptr; }

CurveRecord& CurveAt(PlotRecord& plot, int i) { return *plot.curves[U(i)]; }

double X(PlotRecord& plot, const CurveRecord& c, std::int32_t i)
{
    return GetWaveformValue(plot.store, c.storeSlots[kWaveformX], i);
}

double Y(PlotRecord& plot, const CurveRecord& c, std::int32_t i)
{
    return GetWaveformValue(plot.store, c.storeSlots[kWaveformY], i);
}

int RunCountOf(const PlotRecord& plot, const CurveRecord& c)
{
    // The run being filled counts once it holds a point.
    int runs = plot.store.runCount;
    std::int32_t first = 0, last = 0;
    if (CurveRunBounds(plot, c, runs, first, last) && last >= first) ++runs;
    return std::max(runs, 1);
}

bool Between(double v, double a, double b) { return (a <= v && v <= b) || (b <= v && v <= a); }

double Coordinate(double v, bool linear) { return linear ? v : std::log10(std::max(std::fabs(v), 1e-300)); }

// Peak, Valley and Inflection walked from p towards the run's end (and around once).
std::int32_t SearchExtreme(PlotRecord& plot, const CurveRecord& c, std::int32_t p, int s, int mode, std::int32_t first,
                           std::int32_t last)
{
    const bool inflection = mode == kSearchInflection;
    const auto quantity = [&](std::int32_t j) {
        if (!inflection) return Y(plot, c, j);
        const double dx = X(plot, c, j) - X(plot, c, j - s);
        return dx == 0.0 ? 0.0 : std::fabs((Y(plot, c, j) - Y(plot, c, j - s)) / dx);
    };
    const std::int32_t end = s > 0 ? last : first;
    const std::int32_t otherEnd = s > 0 ? first : last;
    for (int pass = 0; pass < 2; ++pass) {
        int trend = 0;
        std::int32_t from = pass == 0 ? p : otherEnd;
        const std::int32_t to = pass == 0 ? end : p;
        bool havePrevious = false;
        double previous = 0.0;
        if (!inflection) {
            previous = quantity(from);
            havePrevious = true;
        }
        for (std::int32_t j = from + s; s > 0 ? j <= to : j >= to; j += s) {
            if (inflection && (j - s < first || j - s > last)) continue;
            const double q = quantity(j);
            if (havePrevious) {
                const bool rise = q > previous, fall = q < previous;
                if (mode == kSearchPeak && fall && trend == 1) return j - s;
                if (mode == kSearchValley && rise && trend == -1) return j - s;
                if (inflection && fall && trend == 1) return j - s;
                if (rise) trend = 1;
                if (fall) trend = -1;
            }
            previous = q;
            havePrevious = true;
        }
        if (pass == 0) {
            if ((mode == kSearchPeak || inflection) && trend == 1) return end;
            if (mode == kSearchValley && trend == -1) return end;
        }
    }
    if (inflection) return p;
    double best = mode == kSearchPeak ? -kScanStart : kScanStart;
    std::int32_t at = first;
    for (std::int32_t j = first; j <= last; ++j) {
        const double y = Y(plot, c, j);
        if (mode == kSearchPeak ? y > best : y < best) best = y, at = j;
    }
    return at;
}

std::int32_t NearestInRun(PlotRecord& plot, const CurveRecord& c, int run, double x)
{
    std::int32_t first = 0, last = 0;
    if (!CurveRunBounds(plot, c, run, first, last)) return -1;
    for (std::int32_t i = first; i < last; ++i) {
        const double a = X(plot, c, i), b = X(plot, c, i + 1);
        if (Between(x, a, b)) return std::fabs(a - x) <= std::fabs(b - x) ? i : i + 1;
    }
    return x < X(plot, c, last) ? first : last;
}

win::COLORREF InkXorColour(WindowRecord* window, win::HDC dc) { return DrawColorRef(*window->plot, dc, 15); }

bool CursorsShown(WindowRecord* window) { return InCursorMode(window) && window->plot && window->plot->curveCount > 0; }

}  // namespace

PlotCursorState& PlotCursors()
{
    static PlotCursorState state;
    return state;
}

void ResetPlotCursorsForTests() { PlotCursors() = PlotCursorState{}; }

bool CurveRunBounds(const PlotRecord& plot, const CurveRecord& c, int run, std::int32_t& first, std::int32_t& last)
{
    if (run < 0) return false;
    first = RunFirstPoint(c, run);
    if (run < plot.store.runCount && run < static_cast<int>(c.runLastIndex.size())) {
        last = c.runLastIndex[U(run)];
    } else if (run == plot.store.runCount) {
        last = c.lastPointIndex;
    } else {
        return false;
    }
    return last >= first;
}

double CurveValueAtX(PlotRecord& plot, const CurveRecord& c, std::int32_t first, double x)
{
    const int run = FindRunOfPoint(plot.store, c, first);
    std::int32_t from = first, last = c.lastPointIndex;
    if (run >= 0) CurveRunBounds(plot, c, run, from, last);
    if (last < from) return Y(plot, c, std::max(first, 0));
    if (c.digital) {
        double state = Y(plot, c, from);
        for (std::int32_t i = from; i <= last && X(plot, c, i) <= x; ++i) state = Y(plot, c, i);
        return state;
    }
    for (std::int32_t i = from; i < last; ++i) {
        const double x0 = X(plot, c, i), x1 = X(plot, c, i + 1);
        if (!Between(x, x0, x1)) continue;
        const double y0 = Y(plot, c, i), y1 = Y(plot, c, i + 1);
        // A logarithmic axis interpolates between logarithms only where both ends are positive:
        // a dB or a phase below zero is read on a straight line.
        const bool xl = c.linear[kWaveformX] != 0 || !(x0 > 0.0 && x1 > 0.0);
        const bool yl = c.linear[kWaveformY] != 0 || !(y0 > 0.0 && y1 > 0.0);
        const double u0 = Coordinate(x0, xl), u1 = Coordinate(x1, xl), u = Coordinate(x, xl);
        const double t = u1 == u0 ? 0.0 : (u - u0) / (u1 - u0);
        const double v = Coordinate(y0, yl) + t * (Coordinate(y1, yl) - Coordinate(y0, yl));
        return yl ? v : std::pow(10.0, v);
    }
    return x < X(plot, c, from) ? Y(plot, c, from) : Y(plot, c, last);
}

std::int32_t GetCursorPointIndex(WindowRecord* window, int curve, int k)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || curve < 0 || curve >= plot->curveCount) return 0;
    const CurveRecord& c = CurveAt(*plot, curve);
    return c.cursorPoint[U(k)] + RunFirstPoint(c, std::max(c.cursorRun[U(k)], 0));
}

void SetCursorPoint(WindowRecord* window, int curve, int k, std::int32_t point)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || curve < 0 || curve >= plot->curveCount) return;
    CurveRecord& c = CurveAt(*plot, curve);
    int run = FindRunOfPoint(plot->store, c, point);
    std::int32_t first = 0, last = 0;
    if (run < 0 && CurveRunBounds(*plot, c, plot->store.runCount, first, last) && point >= first && point <= last)
        run = plot->store.runCount;
    if (run < 0) return;
    c.cursorRun[U(k)] = run;
    c.cursorPoint[U(k)] = point - RunFirstPoint(c, run);
}

int GetCursorRun(WindowRecord* window, int curve, int k)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || curve < 0 || curve >= plot->curveCount) return 1;
    const int run = CurveAt(*plot, curve).cursorRun[U(k)];
    if (run < 0) return 1;
    PlotCursors().selectedRun = run;
    return run;
}

void PlaceCursor(WindowRecord* window, int ci, int k, std::int32_t p, bool hasX, double x)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || ci < 0 || ci >= plot->curveCount) return;
    CurveRecord& c = CurveAt(*plot, ci);
    if (!hasX) x = X(*plot, c, p);
    SetCursorPoint(window, ci, k, p);
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& other = CurveAt(*plot, i);
        if (!PlotCursors().align && other.plotGroup != c.plotGroup) continue;
        if (other.plotGroup < 1) continue;
        double at = x;
        const auto valueAt = [&](double where) {
            if (other.lastPointIndex < 0) return Y(*plot, other, 0);
            if (&other == &c && !c.digital && where == X(*plot, c, p)) return Y(*plot, c, p);
            return CurveValueAtX(*plot, other, FirstPointOfRunAt(*plot, i, std::min(p, other.lastPointIndex)), where);
        };
        double y = valueAt(at);
        if (other.lastPointIndex >= 0) {
            if (at > other.dataMax[kWaveformX]) at = other.dataMax[kWaveformX], y = valueAt(at);
            if (at < other.dataMin[kWaveformX]) at = other.dataMin[kWaveformX], y = valueAt(at);
        }
        other.cursorX[U(k)] = at;
        other.cursorY[U(k)] = y;
        if (&other != &c && other.lastPointIndex >= 0) {
            other.cursorRun[U(k)] = c.cursorRun[U(k)];
            other.cursorPoint[U(k)] = c.cursorPoint[U(k)];
        }
    }
}

std::int32_t FindCursorTarget(WindowRecord* window, std::int32_t p, int curve, int direction, int mode)
{
    PlotRecord* plot = PlotOf(window);
    if (!InCursorMode(window) || !plot || curve < 0 || curve >= plot->curveCount) return 0;
    CurveRecord& c = CurveAt(*plot, curve);
    int run = FindRunOfPoint(plot->store, c, p);
    std::int32_t first = 0, last = 0;
    if (run < 0 && CurveRunBounds(*plot, c, plot->store.runCount, first, last) && p >= first && p <= last)
        run = plot->store.runCount;
    if (run < 0) return -1;
    CurveRunBounds(*plot, c, run, first, last);
    const bool runStep = direction == kStepNextRun || direction == kStepPreviousRun;
    const int s = (direction == kStepRight || direction == kStepNextRun) ? 1 : -1;
    if (mode == kSearchGlobalHigh || mode == kSearchGlobalLow) {
        double best = mode == kSearchGlobalHigh ? -kScanStart : kScanStart;
        std::int32_t at = 0;
        for (std::int32_t i = 0; i <= c.lastPointIndex; ++i) {
            const double y = Y(*plot, c, i);
            if (mode == kSearchGlobalHigh ? y > best : y < best) best = y, at = i;
        }
        return at;
    }
    if (runStep) {
        const int runs = RunCountOf(*plot, c);
        int other = run + s;
        if (other < 0) other = runs - 1;
        if (other >= runs) other = 0;
        const std::int32_t q = NearestInRun(*plot, c, other, X(*plot, c, p));
        if (mode == kSearchNext || q < 0) return q;
        p = q;
        run = other;
        CurveRunBounds(*plot, c, run, first, last);
        if (mode != kSearchHigh && mode != kSearchLow) return SearchExtreme(*plot, c, p, 1, mode, first, last);
    }
    switch (mode) {
    case kSearchNext: {
        const std::int32_t q = p + s;
        if (q > last) return first + c.warmUpCount;
        if (q < first + c.warmUpCount) return last;
        return q;
    }
    case kSearchPeak:
    case kSearchValley:
    case kSearchInflection: return SearchExtreme(*plot, c, p, s, mode, first, last);
    case kSearchHigh:
    case kSearchLow: {
        double best = mode == kSearchHigh ? -kScanStart : kScanStart;
        std::int32_t at = first;
        for (std::int32_t i = first; i <= last; ++i) {
            const double y = Y(*plot, c, i);
            if (mode == kSearchHigh ? y > best : y < best) best = y, at = i;
        }
        return at;
    }
    default: return p;
    }
}

void MoveCursorAndRedraw(WindowRecord* window, int curve, int k, std::int32_t point, bool hasX, double x)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || curve < 0 || curve >= plot->curveCount || point < 0) return;
    const int group = PlotCursors().align ? -1 : CurveAt(*plot, curve).plotGroup;
    win::HDC dc = window->window ? win::GetDC(window->window) : nullptr;
    if (dc) {
        LayoutPlotWindow(window, dc);
        DrawCursorMarks(window, dc, group, false);
    }
    PlaceCursor(window, curve, k, point, hasX, x);
    PlotCursors().lastMoved = k;
    PlotCursors().selectedRun = std::max(CurveAt(*plot, curve).cursorRun[U(k)], 0);
    if (dc) {
        DrawCursorMarks(window, dc, group, true);
        DrawPlotTitleLine(window, dc);
        win::ReleaseDC(window->window, dc);
    }
}

void MoveCursorBySearchMode(WindowRecord* window, int k, int direction, int mode)
{
    PlotRecord* plot = PlotOf(window);
    if (!InCursorMode(window) || !plot || plot->curveCount == 0) return;
    const int curve = std::clamp(plot->currentCurve, 0, plot->curveCount - 1);
    const std::int32_t target = FindCursorTarget(window, GetCursorPointIndex(window, curve, k), curve, direction, mode);
    if (target >= 0) MoveCursorAndRedraw(window, curve, k, target);
}

void HandleCursorStepCommand(WindowRecord* window, int direction, int k)
{
    if (direction == kStepNextRun || direction == kStepPreviousRun)
        MoveCursorBySearchMode(window, 1 - k, direction, kSearchNext);
    MoveCursorBySearchMode(window, k, direction, PlotCursors().searchMode);
    PlotCursors().lastMoved = k;
}

int LastMovedCursor() { return PlotCursors().lastMoved; }

bool LendCursorTable(WindowRecord* analysis, WindowRecord* owner, int curve, const std::array<double, 2>& x,
                     const std::array<double, 2>& y, const std::array<double, 2>& z)
{
    CursorTableLoan& loan = PlotCursors().loan;
    if (loan.owner && (loan.analysis != analysis || loan.curve != curve)) ReleaseCursorTable(loan.owner);
    PlotRecord* plot = PlotOf(analysis);
    if (!owner || !plot || curve < 0 || curve >= plot->curveCount) return false;
    CurveRecord& c = CurveAt(*plot, curve);
    if (!loan.owner) {
        loan.x = c.cursorX;
        loan.y = c.cursorY;
        loan.z = c.cursorZ;
    }
    loan.owner = owner;
    loan.analysis = analysis;
    loan.curve = curve;
    c.cursorX = x;
    c.cursorY = y;
    c.cursorZ = z;
    // A repaint draws the marks afresh, where XOR drawing would depend on what was shown before.
    if (analysis->window) win::InvalidateRect(analysis->window, nullptr, 1);
    return true;
}

void ReleaseCursorTable(WindowRecord* owner)
{
    CursorTableLoan& loan = PlotCursors().loan;
    if (!owner || loan.owner != owner) return;
    PlotRecord* plot = IsLiveWindowRecord(loan.analysis) ? PlotOf(loan.analysis) : nullptr;
    // A run since the loan may have rebuilt the curves; a curve that is gone gets nothing back.
    if (plot && loan.curve >= 0 && loan.curve < plot->curveCount) {
        CurveRecord& c = CurveAt(*plot, loan.curve);
        c.cursorX = loan.x;
        c.cursorY = loan.y;
        c.cursorZ = loan.z;
        if (loan.analysis->window) win::InvalidateRect(loan.analysis->window, nullptr, 1);
    }
    loan = CursorTableLoan{};
}

WindowRecord* CursorTableOwner() { return PlotCursors().loan.owner; }

void InitPlotCursors(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = CurveAt(*plot, i);
        if (c.placeInGroup != 0 || c.plotGroup < 1 || c.lastPointIndex < 0) continue;
        std::int32_t first = 0, last = 0;
        if (!CurveRunBounds(*plot, c, 0, first, last)) continue;
        PlaceCursor(window, i, 0, std::min(first + c.warmUpCount, last));
        PlaceCursor(window, i, 1, last);
    }
}

int LocateCursorPointAtPosition(WindowRecord* window, int curve, double value, int k, bool yFlag, int startOffset,
                                int run)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || curve < 0 || curve >= plot->curveCount) return 0;
    CurveRecord& c = CurveAt(*plot, curve);
    std::int32_t first = 0, last = 0;
    if (!CurveRunBounds(*plot, c, std::max(run, 0), first, last)) return 0;
    const std::int32_t start = std::clamp(first + startOffset, first, last);
    const auto tryPoint = [&](std::int32_t i) {
        if (yFlag && c.digital) {
            const auto letter = [](double v) { return DigitalStateChar(static_cast<std::uint16_t>(std::lround(v) & 0x1FF)); };
            if (letter(Y(*plot, c, i)) != letter(value)) return false;
            MoveCursorAndRedraw(window, curve, k, i);
            return true;
        }
        if (i >= last) return false;
        const double a = yFlag ? Y(*plot, c, i) : X(*plot, c, i);
        const double b = yFlag ? Y(*plot, c, i + 1) : X(*plot, c, i + 1);
        if (!Between(value, a, b)) return false;
        double x = value;
        if (yFlag) {
            // The crossing on the segment as it is drawn and read back: between logarithms on a
            // logarithmic axis, so that the cursor reads the very level it was sent to.
            const double x0 = X(*plot, c, i), x1 = X(*plot, c, i + 1);
            const bool xl = c.linear[kWaveformX] != 0 || !(x0 > 0.0 && x1 > 0.0);
            const bool yl = c.linear[kWaveformY] != 0 || !(a > 0.0 && b > 0.0);
            const double ua = Coordinate(a, yl), ub = Coordinate(b, yl);
            const double t = ua == ub ? 0.0 : (Coordinate(value, yl) - ua) / (ub - ua);
            const double u = Coordinate(x0, xl) + t * (Coordinate(x1, xl) - Coordinate(x0, xl));
            x = xl ? u : std::pow(10.0, u);
        }
        MoveCursorAndRedraw(window, curve, k, i, true, x);
        return true;
    };
    for (std::int32_t i = start; i <= last; ++i)
        if (tryPoint(i)) return 1;
    for (std::int32_t i = first; i < start; ++i)
        if (tryPoint(i)) return 1;
    return 0;
}

void DrawCursorMark(WindowRecord* window, win::HDC dc, int curve, int k)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || curve < 0 || curve >= plot->curveCount) return;
    CurveRecord& c = CurveAt(*plot, curve);
    const win::RECT& r = c.plotRect;
    const int x = ValueToPixelClamped(c, kWaveformX, c.cursorX[U(k)]);
    const int oldRop = win::SetROP2(dc, win::R2_XORPEN);
    const int oldMode = win::SetBkMode(dc, win::TRANSPARENT);
    const win::HPEN pen = win::CreatePen(k == 0 ? win::PS_DOT : win::PS_DASH, 1, InkXorColour(window, dc));
    const win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
    const win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    if (c.placeInGroup == 0 && x > r.left && x < r.right) {
        win::MoveToEx(dc, x, r.top + 1, nullptr);
        win::LineTo(dc, x, r.bottom);
    }
    const CurveRecord& current = CurveAt(*plot, std::clamp(plot->currentCurve, 0, plot->curveCount - 1));
    if (c.plotGroup == current.plotGroup) {
        const int y = c.digital ? CurveValueToPixel(c, kWaveformY, c.cursorY[U(k)], 0.0)
                                : ValueToPixelClamped(c, kWaveformY, c.cursorY[U(k)]);
        int half = IsDisplayDC(dc) ? 3 : std::min(r.right - r.left, r.bottom - r.top) / 120;
        if (k == 0) ++half;
        const win::HPEN solid = win::CreatePen(win::PS_SOLID, 1, InkXorColour(window, dc));
        win::SelectObject(dc, solid);
        if (x + half >= r.left && x - half <= r.right && y + half >= r.top && y - half <= r.bottom)
            win::Rectangle(dc, x - half, y - half, x + half + 1, y + half + 1);
        win::SelectObject(dc, pen);
        win::DeleteObject(solid);
    }
    win::SelectObject(dc, oldBrush);
    win::SelectObject(dc, oldPen);
    win::DeleteObject(pen);
    win::SetBkMode(dc, oldMode);
    win::SetROP2(dc, oldRop);
}

void DrawCursorMarks(WindowRecord* window, win::HDC dc, int group, bool withReadouts)
{
    PlotRecord* plot = PlotOf(window);
    if (!CursorsShown(window) || !dc) return;
    if (PlotCursors().align) group = -1;
    const int saved = win::SaveDC(dc);
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = CurveAt(*plot, i);
        if (c.plotGroup < 1 || (group >= 0 && c.plotGroup != group) || c.lastPointIndex < 0) continue;
        win::SaveDC(dc);
        win::IntersectClipRect(dc, c.plotRect.left, c.plotRect.top, c.plotRect.right + 1, c.plotRect.bottom + 1);
        DrawCursorMark(window, dc, i, 0);
        DrawCursorMark(window, dc, i, 1);
        win::RestoreDC(dc, -1);
    }
    win::RestoreDC(dc, saved);
    if (withReadouts) DrawCurveReadouts(window, dc, group);
}

void DrawCursorTableCaptions(WindowRecord* window, win::HDC dc, int curve)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || curve < 0 || curve >= plot->curveCount) return;
    CurveRecord& c = CurveAt(*plot, curve);
    if (c.placeInGroup != 0 || c.digital) return;
    const int h = plot->textLineHeight;
    const int fifth = (c.plotRect.right - c.plotRect.left) / 5;
    const int y = c.captionPosition[1] - h;
    SetScaleTextColours(window, dc);
    const win::COLORREF background = win::GetBkColor(dc);
    const int ids[4] = {kMsgLeft, kMsgRight, kMsgDelta, kMsgSlope};
    for (int col = 0; col < 4; ++col) {
        const int left = c.plotRect.left + (col + 1) * fifth;
        DrawTextWithBackground(dc, win::RECT{left, y, left + fifth, y + h}, LoadResString(ids[col]), 3, background);
    }
    // The X values of the cursors stand in the row below the group's last caption.
    int lastY = c.captionPosition[1];
    for (int i = 0; i < plot->curveCount; ++i) {
        const CurveRecord& o = CurveAt(*plot, i);
        if (o.plotGroup == c.plotGroup && !o.digital) lastY = std::max(lastY, o.captionPosition[1]);
    }
    const int xy = lastY + h;
    DrawTextWithBackground(dc, win::RECT{c.plotRect.left, xy, c.plotRect.left + fifth, xy + h}, c.xExpressionText, 2,
                           background);
    const double dx = c.cursorX[1] - c.cursorX[0];
    const std::string values[3] = {FormatCurveValue(c, kWaveformX, c.cursorX[0]),
                                    FormatCurveValue(c, kWaveformX, c.cursorX[1]), FormatCurveValue(c, kWaveformX, dx)};
    for (int col = 0; col < 3; ++col) {
        const int left = c.plotRect.left + (col + 1) * fifth;
        DrawTextWithBackground(dc, win::RECT{left, xy, left + fifth, xy + h}, values[col], 3, background);
    }
}

int FindCurveCaptionAtPoint(WindowRecord* window, int x, int y)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return -1;
    const int h = plot->textLineHeight;
    for (int i = 0; i < plot->curveCount; ++i) {
        const CurveRecord& c = CurveAt(*plot, i);
        const auto& p = c.captionPosition;
        if (x >= p[0] && x < p[0] + p[2] && y >= p[1] && y < p[1] + h) return i;
    }
    return -1;
}

void SelectCurveAtPoint(WindowRecord* window, int x, int y)
{
    int curve = FindPlotAtPoint(window, x, y);
    if (curve < 0) curve = FindCurveCaptionAtPoint(window, x, y);
    if (curve >= 0 && window->plot && curve != window->plot->currentCurve) SelectPlotCurve(window, nullptr, curve);
}

void ToggleAlignCursors(WindowRecord* window)
{
    PlotCursorState& state = PlotCursors();
    state.align = !state.align;
    PlotRecord* plot = PlotOf(window);
    if (!state.align || !plot || plot->curveCount == 0 || plot->groupCount < 2) return;
    const int last = state.lastMoved;
    const int curve = std::clamp(plot->currentCurve, 0, plot->curveCount - 1);
    // A cursor sent to a value between two points (Go to Y, a click) keeps that X: only the
    // other groups take it up.
    const CurveRecord& c = CurveAt(*plot, curve);
    for (int k = 0; k < 2; ++k)
        MoveCursorAndRedraw(window, curve, k, GetCursorPointIndex(window, curve, k), true, c.cursorX[U(k)]);
    state.lastMoved = last;
}

int GoToCursorValue(WindowRecord* window, int command, int k, double value)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || plot->curveCount == 0) return 0;
    const int curve = std::clamp(plot->currentCurve, 0, plot->curveCount - 1);
    const CurveRecord& c = CurveAt(*plot, curve);
    const int run = std::max(c.cursorRun[U(k)], 0);
    const int placed =
        LocateCursorPointAtPosition(window, curve, value, k, command == kCommandGoToY, c.cursorPoint[U(k)] + 1, run);
    if (!placed) win::MessageBeep(0);
    return placed;
}

}  // namespace kq5
