#pragma once
// Preparing a 3-D plot's surface from the stored runs of the analysis plot: the axis sources and
// their ranges, the grids, the run subset along Z and the rows, in Expression mode (the curve
// sampled at the X grid) and in Performance mode (a performance function measured per run).
#include <array>
#include <string>

#include "analyses/run_subset.h"

namespace kq5 {

struct Graph3DPlot;
struct PlotRecord;
struct WaveformStore;

// What the analysis says about the sources beyond the run plan.
struct Graph3DSources {
    RunPlan plan;
    std::array<int, kSteppingCases> slotLinear{1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    std::array<std::string, kSteppingCases> slotName;
    bool running = false;             // an analysis is in progress
    double temperatureLow = 27.0, temperatureHigh = 27.0;  // of the temperature list
};

// The plan and sources of the analysis in progress (or last run) with the runs the store holds.
Graph3DSources LiveGraph3DSources(const WaveformStore& store);

// The name of a source as titles and lists show it (the analysis X variable: its expression).
std::string Graph3DSourceName(const Graph3DSources& sources, int source, const std::string& xName);
// The value of a source in one stored run; a simultaneously stepped slot reads the case count of
// the walk from `walkFirst` by `stride`.
double Graph3DRunSourceValue(const WaveformStore& store, const Graph3DSources& sources, int source, int run,
                             int walkFirst, int stride);

// Computes ranges and surface. 0, or 15002 when the grid finds no memory (the plot is then
// marked failed and keeps no grid). An invalid set-up leaves the plot without a grid.
int PrepareGraph3DPlot(Graph3DPlot& plot, PlotRecord& analysisPlot, const Graph3DSources& sources);

// The text of the run choice that the title names (fixed temperature, step values or case).
std::string Graph3DChoiceSuffix(const Graph3DPlot& plot, const Graph3DSources& sources, const WaveformStore& store);

}  // namespace kq5
