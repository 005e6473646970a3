#pragma once
// Runs (mostly transient) of text circuits with limits rows given by the test in place of the netlist's
// own, in a scratch directory, and what the runs leave: curves, stored values, files, messages.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../netlist/scratch_build_test.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "analog/run_control.h"
#include "plots/dsp_pass.h"
#include "results/curve_record.h"
#include "results/limits_row.h"
#include "plots/user_waveform.h"
#include "results/waveform_store.h"

namespace kq5::testing {

// A plotted (group digit) or only computed (group 0) row on linear axes with automatic ranges.
inline LimitsRow Row(const char* x, const char* y, char group, std::uint16_t extra = 0)
{
    LimitsRow row;
    row.xExpression = x;
    row.yExpression = y;
    row.xRange = "Auto";
    row.yRange = "Auto";
    row.plotGroup = group;
    row.options = kLimitsLinearX | kLimitsLinearY | extra;
    return row;
}

inline DspSettings DspOn(const char* upper, const char* lower, const char* points)
{
    DspSettings dsp;
    dsp.on = 1;
    dsp.max = upper;
    dsp.min = lower;
    dsp.nPts = points;
    return dsp;
}

class TransientRunTest : public ScratchBuildTest {
protected:
    void SetUp() override
    {
        ScratchBuildTest::SetUp();
        ResetRunControlForTests();
        ResetDspPassForTests();
        ResetUserWaveformsForTests();
        InstallAnalysisKindHandlers();
    }
    void TearDown() override
    {
        ExitAnalysis();
        ResetRunControlForTests();
        ResetUserWaveformsForTests();
        ScratchBuildTest::TearDown();
    }

    // Runs the netlist's transient analysis, saved under the name, with the rows and DSP settings.
    int Run(const std::string& netlist, const std::vector<LimitsRow>& rows, const DspSettings& dsp = {},
            const char* name = "d.cir", int kind = kAnalysisTransient)
    {
        PutCircuit(netlist, name);
        win::ClearMessageBoxLog();
        if (!record_->plot) record_->plot = std::make_shared<PlotRecord>();
        if (int rc = RunAnalysisCommand(record_, kind)) return rc;
        record_->document->limitsRows[static_cast<std::size_t>(kind)] = rows;
        if (kind < static_cast<int>(record_->document->dsp.size()))
            record_->document->dsp[static_cast<std::size_t>(kind)] = dsp;
        if (!temperatures.empty()) record_->document->limits.transient[kLimitTTemp] = temperatures;
        if (!timeRange.empty()) record_->document->limits.transient[kLimitTRange] = timeRange;
        return RunAnalysisTimed(kind);
    }

    std::string temperatures;  // the Temperature limit of the runs, when set
    std::string timeRange;     // the Time Range limit, when set

    CurveRecord& Curve(int i) { return *record_->plot->curves.at(static_cast<std::size_t>(i)); }
    double Value(int curve, int axis, int point)
    {
        CurveRecord& c = Curve(curve);
        return GetWaveformValue(record_->plot->store, c.storeSlots[static_cast<std::size_t>(axis)], point);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void Write(const std::string& name, const std::string& text) const { std::ofstream(dir_ / name, std::ios::binary) << text; }

    static std::string Messages()
    {
        std::string all;
        for (const auto& m : win::MessageBoxLog()) all += m.text + "\n";
        return all;
    }
};

}  // namespace kq5::testing
