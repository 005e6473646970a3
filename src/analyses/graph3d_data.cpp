#include "analyses/graph3d_data.h"

#include <algorithm>
#include <cmath>

#include "analog/numeric_output.h"
#include "results/curve_record.h"

namespace kq5 {

namespace {

double LogMagnitude(double v) { return v == 0.0 ? 0.0 : std::log10(std::abs(v)); }

}  // namespace

int ClampPatchCount(int patches)
{
    if (patches < 1) return 2;
    return std::min(patches, kMaxGraph3DPatches);
}

std::vector<double> BuildGraph3DGrid(double min, double max, int patches, bool linear)
{
    const int n = ClampPatchCount(patches) + 1;
    std::vector<double> grid(static_cast<std::size_t>(n));
    const bool log = !linear && min > 0.0 && max > 0.0;
    const double ratio = log ? std::pow(max / min, 1.0 / (n - 1)) : 0.0;
    grid[0] = min;
    for (int i = 1; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        grid[k] = log ? grid[k - 1] * ratio : min + i * (max - min) / (n - 1);
    }
    grid.back() = max;
    return grid;
}

int LastRunGroup(int first, int last, int stride)
{
    if (stride <= 0 || first > last) return -1;
    return first + (last - first) / stride * stride;
}

int FindRunBracket(double z, int first, int last, int stride, const RunValueFn& valueOf)
{
    const int lastGroup = LastRunGroup(first, last, stride);
    if (lastGroup < 0) return -1;
    for (int i = first; i < lastGroup; i += stride) {
        const double a = valueOf(i), b = valueOf(i + stride);
        if ((a <= z && z < b) || (b < z && z <= a)) return i;
    }
    const double v0 = valueOf(first), vLast = valueOf(lastGroup);
    const bool beforeFirst = vLast >= v0 ? z < v0 : z > v0;
    return beforeFirst ? first : lastGroup;
}

double BracketWeight(double z, double zA, double zB, bool logZ)
{
    if (zA == zB) return 1.0;
    if (logZ && z > 0.0 && zA > 0.0 && zB > 0.0) {
        z = std::log10(z);
        zA = std::log10(zA);
        zB = std::log10(zB);
    }
    const double f = 1.0 - (z - zA) / (zB - zA);
    if (std::isnan(f)) return 1.0;
    return std::clamp(f, 0.0, 1.0);
}

double BlendHeights(double vA, double vB, double f, bool logY)
{
    if (!logY) return vA * f + vB * (1.0 - f);
    return std::pow(10.0, LogMagnitude(vA) * f + LogMagnitude(vB) * (1.0 - f));
}

std::vector<std::vector<double>> ComputeGraph3DRows(const Graph3DRowsInput& in)
{
    const auto columns = static_cast<std::size_t>(std::max(in.columns, 0));
    std::vector<std::vector<double>> rows(in.zGrid.size(), std::vector<double>(columns, 0.0));
    const int lastGroup = LastRunGroup(in.first, in.last, in.stride);
    if (lastGroup < 0 || in.first >= in.last || in.zGrid.empty()) return rows;
    const auto stored = [&](int run) { return run >= 0 && run < in.storedRuns; };
    std::vector<double> rowA(columns, 0.0), rowB(columns, 0.0);
    auto sample = [&](int run, std::vector<double>& row) {
        std::fill(row.begin(), row.end(), 0.0);
        if (stored(run) && !in.sample(run, row)) std::fill(row.begin(), row.end(), 0.0);
    };
    int held = -2;  // the group whose runs rowA and rowB hold
    for (std::size_t r = 0; r < in.zGrid.size(); ++r) {
        const double z = in.zGrid[r];
        const int g = FindRunBracket(z, in.first, in.last, in.stride, in.zValueOf);
        if (g < 0 || !stored(g)) continue;
        if (g != held) {
            if (g == held + in.stride) rowA.swap(rowB);
            else sample(g, rowA);
            if (g < lastGroup) sample(g + in.stride, rowB);
            held = g;
        }
        if (g >= lastGroup || !stored(g + in.stride)) {
            rows[r] = rowA;
            if (in.progress) in.progress(static_cast<int>(100 * (r + 1) / in.zGrid.size()));
            continue;
        }
        const double f = BracketWeight(z, in.zValueOf(g), in.zValueOf(g + in.stride), in.logZ);
        for (std::size_t c = 0; c < columns; ++c) rows[r][c] = BlendHeights(rowA[c], rowB[c], f, in.logY);
        if (in.progress) in.progress(static_cast<int>(100 * (r + 1) / in.zGrid.size()));
    }
    return rows;
}

bool SampleCurveRunAtGrid(PlotRecord& plot, const CurveRecord& curve, int run, const std::vector<double>& xGrid,
                          std::vector<double>& row)
{
    const auto r = static_cast<std::size_t>(run);
    if (run < 0 || r >= curve.runFirstIndex.size() || r >= curve.runLastIndex.size()) return false;
    const int first = curve.runFirstIndex[r], last = curve.runLastIndex[r];
    const int xSlot = curve.storeSlots[kWaveformX], ySlot = curve.storeSlots[kWaveformY];
    if (first < 0 || last < first || xSlot < 0 || ySlot < 0) return false;
    const unsigned mode = (curve.linear[kWaveformX] == 0 ? 1u : 0u) | (curve.linear[kWaveformY] == 0 ? 2u : 0u);
    row.assign(xGrid.size(), 0.0);
    int at = first;
    for (std::size_t i = 0; i < xGrid.size(); ++i) {
        double value = 0.0;
        at = std::max(first, InterpolateCurveAtX(plot, value, xGrid[i], false, mode, xSlot, ySlot, last, at));
        row[i] = value;
    }
    return true;
}

}  // namespace kq5
