#pragma once
// The surface of a 3-D plot: grids along X and Z, the run group that brackets each Z grid line,
// and the rows interpolated between two bracketing runs. The functions here take the runs through
// callbacks, so the same arithmetic serves stored analysis runs and test data.
#include <functional>
#include <vector>

namespace kq5 {

struct PlotRecord;
struct CurveRecord;

// Patch counts typed in the dialog or read from a file: below 1 becomes 2; above the limit the
// grid would only cost memory and drawing time without showing more, so it is capped.
constexpr int kMaxGraph3DPatches = 1000;
int ClampPatchCount(int patches);

// patches + 1 points from min to max, evenly on a linear axis and by a constant ratio on a
// logarithmic one; the last point is max exactly. A logarithmic axis whose ends are not both
// above zero is gridded linearly (it has no logarithm).
std::vector<double> BuildGraph3DGrid(double min, double max, int patches, bool linear);

using RunValueFn = std::function<double(int run)>;

// The run group (first, first + stride, ...) whose value and the next group's value enclose z,
// the runs' values rising or falling. A z beyond the first group's value takes the first group;
// one beyond the last group's value (or equal to it) the last. -1 for an empty subset.
int FindRunBracket(double z, int first, int last, int stride, const RunValueFn& valueOf);
// The last group of a subset: the largest first + k x stride not beyond last.
int LastRunGroup(int first, int last, int stride);

// The weight of the lower group for z between zA and zB, kept within 0..1 so that a Z outside
// the stored runs takes the nearer run's row instead of extrapolating.
double BracketWeight(double z, double zA, double zB, bool logZ);
// vA x f + vB x (1 - f), or the same between log10 of the magnitudes on a logarithmic Y axis.
double BlendHeights(double vA, double vB, double f, bool logY);

// Fills row with the heights of one run (or run group) at every X grid value; false when the
// run gives none.
using SampleRunFn = std::function<bool(int run, std::vector<double>& row)>;

struct Graph3DRowsInput {
    std::vector<double> zGrid;
    int columns = 0;  // patchesX + 1
    int first = 0, last = -1, stride = 1;
    int storedRuns = 0;
    bool logZ = false, logY = false;
    RunValueFn zValueOf;
    SampleRunFn sample;
    std::function<void(int percent)> progress;  // after each grid line, when given
};
// One row per Z grid line, interpolated between the bracketing run groups; rows whose group lies
// beyond the stored runs are zero. Each run is sampled at most once per pass of rising groups.
std::vector<std::vector<double>> ComputeGraph3DRows(const Graph3DRowsInput& in);

// The curve's heights in one stored run of the plot at each X grid value.
bool SampleCurveRunAtGrid(PlotRecord& plot, const CurveRecord& curve, int run, const std::vector<double>& xGrid,
                          std::vector<double>& row);

}  // namespace kq5
