#pragma once
// A plot whose curves hold given runs of points, for measuring stored waveforms without a run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../plots/private_tmp.h"
#include "analyses/performance_functions.h"
#include "ui/window_record.h"
#include "results/curve_record.h"
#include "results/waveform_store.h"

namespace kq5::testing {

struct Point {
    double x = 0.0;
    double y = 0.0;
};
using PointRun = std::vector<Point>;

// Samples f at n + 1 evenly spaced X from x0 to x1.
inline PointRun Sample(double x0, double x1, int n, const std::function<double(double)>& f)
{
    PointRun run;
    for (int i = 0; i <= n; ++i) {
        const double x = x0 + (x1 - x0) * i / n;
        run.push_back({x, f(x)});
    }
    return run;
}

// Makes the plot hold one curve with the runs (its earlier curves and store are dropped);
// digital curves store state codes as Y.
inline CurveRecord& StoreRuns(PlotRecord& plot, const std::vector<PointRun>& runs, bool digital = false,
                              bool logX = false, bool logY = false)
{
    ResetWaveformStore(plot);
    plot.curves.push_back(std::make_unique<CurveRecord>());
    CurveRecord& curve = *plot.curves.back();
    curve.digital = digital ? 1 : 0;
    curve.linear = {logX ? 0 : 1, logY ? 0 : 1};
    plot.builtCurveCount = plot.curveCount = 1;
    EXPECT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 0, static_cast<int>(runs.size())), 0);
    RewindWaveformStore(plot);
    for (std::size_t r = 0; r < runs.size(); ++r) {
        for (const Point& p : runs[r]) {
            EXPECT_EQ(AdvanceCurvePoint(plot.store, curve), 1);
            SetWaveformValue(plot.store, curve.storeSlots[kWaveformX], curve.lastPointIndex, p.x);
            SetWaveformValue(plot.store, curve.storeSlots[kWaveformY], curve.lastPointIndex, p.y);
        }
        RunRecord record;
        record.caseNumber = static_cast<int>(r) + 1;
        EndWaveformRun(plot, false, record);
    }
    return curve;
}

// Measures function f on a run of the plot's first curve.
inline int MeasureStored(PlotRecord& plot, PerformanceContext& context, int f, double a1, double a2, double a3,
                         int run = 0, const PointCondition* condition = nullptr)
{
    context = PerformanceContext{};
    context.store = &plot.store;
    context.curve = plot.curves.at(0).get();
    context.run = run;
    context.condition = condition;
    return EvaluatePerformanceFunction(context, f, a1, a2, a3);
}

class StoredCurvesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp_.Make("kq5-perf"));
        SetWaveformMemoryProbeForTests([] { return true; });
    }
    void TearDown() override
    {
        ResetWaveformStore(plot_);
        SetWaveformMemoryProbeForTests({});
        tmp_.Remove();
    }

    // One curve holding the runs; digital curves store state codes as Y.
    CurveRecord& Store(const std::vector<PointRun>& runs, bool digital = false, bool logX = false, bool logY = false)
    {
        return StoreRuns(plot_, runs, digital, logX, logY);
    }

    // Measures function f on run `run` of curve 0.
    int Measure(int f, double a1 = 1, double a2 = 1, double a3 = 2, int run = 0,
                const PointCondition* condition = nullptr)
    {
        return MeasureStored(plot_, context_, f, a1, a2, a3, run, condition);
    }
    const Measurement& M() const { return context_.measurement; }

    PlotRecord plot_;
    PerformanceContext context_;
    PrivateTmp tmp_;
};

}  // namespace kq5::testing
