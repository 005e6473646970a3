// What the run loops and windows ask of the expression engine around a run: state updates of a
// plot's curves, step breakpoints, the spectral buffers, performance functions and the
// clearing of device history.
#include "analog/expr_run_services.h"
#include "ui/window_record.h"
#include "core/device_lists.h"
#include "expr_test_support.h"
#include "results/curve_record.h"

namespace kq5 {
namespace {

using Complex = std::complex<double>;

class ExprRunServices : public test::ExpressionTest {
protected:
    void SetUp() override
    {
        ExpressionTest::SetUp();
        ResetDeviceListsForTests();
        Analysis().analysisKind = kAnalysisTransient;
    }
    void TearDown() override
    {
        ResetDeviceListsForTests();
        ExpressionTest::TearDown();
    }

    CurveRecord& AddCurve(PlotRecord& plot, const std::string& y, std::uint32_t flags)
    {
        plot.curves.push_back(std::make_unique<CurveRecord>());
        CurveRecord& c = *plot.curves.back();
        c.yExpressionText = y;
        c.flags = flags;
        EXPECT_EQ(Compile("T", c.xExpression), 0);
        EXPECT_EQ(Compile(y, c.yExpression), 0) << lastError;
        return c;
    }

    static std::vector<std::uint32_t> Breakpoints()
    {
        std::vector<std::uint32_t> times;
        for (auto& r : ListRecords<TimeBreakpointRecord>(DeviceList(kTimeBreakpointList))) times.push_back(r.time);
        return times;
    }
};

TEST_F(ExprRunServices, PlotCurvesWithStateAreInitialisedAndAdvanced)
{
    PlotRecord plot;
    CurveRecord& withState = AddCurve(plot, "DEL(T)", kCurveHasState);
    CurveRecord& unmarked = AddCurve(plot, "DEL(T)", 0);
    AnalysisVariables& v = Analysis().variables;
    v.time = 0.5;
    UpdateExpressionStates(plot, true);
    Complex r;
    ASSERT_EQ(EvaluateExpression(withState.yExpression, r), 0);
    EXPECT_DOUBLE_EQ(r.real(), 0.5 - 1.0);  // the previous value starts at 1
    UpdateExpressionStates(plot, false);
    v.time = 0.75;
    ASSERT_EQ(EvaluateExpression(withState.yExpression, r), 0);
    EXPECT_DOUBLE_EQ(r.real(), 0.25);
    ASSERT_EQ(EvaluateExpression(unmarked.yExpression, r), 0);
    EXPECT_DOUBLE_EQ(r.real(), 0.75);  // its cells were never touched
}

TEST_F(ExprRunServices, AnalysisWindowsHandTheirPlot)
{
    WindowRecord window;
    UpdateExpressionStates(&window, true);  // no plot: nothing to do
    EXPECT_EQ(AddStepBreakpoints(&window), 0);
    EXPECT_EQ(ReportDifferenceErrors(&window), 0);
    window.plot = std::make_shared<PlotRecord>();
    CurveRecord& c = AddCurve(*window.plot, "DEL(T)", kCurveHasState);
    Analysis().variables.time = 2.0;
    UpdateExpressionStates(&window, true);
    Complex r;
    ASSERT_EQ(EvaluateExpression(c.yExpression, r), 0);  // the first point
    UpdateExpressionStates(&window, false);
    Analysis().variables.time = 5.0;
    ASSERT_EQ(EvaluateExpression(c.yExpression, r), 0);
    EXPECT_DOUBLE_EQ(r.real(), 5.0 - 2.0);
}

TEST_F(ExprRunServices, StepAndImpulseInstantsBecomeBreakpoints)
{
    DigitalSimulator().timeUnit = 1e-9;
    Analysis().variables.tmin = 0.0;
    PlotRecord plot;
    AddCurve(plot, "STP(T-1U) + IMPULSE(4U)", 0);
    // A device's value expression counts too.
    CompiledExpression device;
    ASSERT_EQ(Compile("5*STP(T-7U)", device), 0);
    Devices().expressions.push_back(&device);
    EXPECT_EQ(AddStepBreakpoints(&plot), 0);
    // 1 us; the pulse's start, peak and end at 0, 2 us and 4 us; 7 us. Sorted.
    EXPECT_EQ(Breakpoints(), (std::vector<std::uint32_t>{0, 1000, 2000, 4000, 7000}));
    // A time within 10 ticks of one already there is dropped.
    EXPECT_EQ(AddTimeBreakpoint(1005), 0);
    EXPECT_EQ(Breakpoints().size(), 5u);
    EXPECT_EQ(AddTimeBreakpoint(1500), 0);
    EXPECT_EQ(Breakpoints(), (std::vector<std::uint32_t>{0, 1000, 1500, 2000, 4000, 7000}));
    EXPECT_EQ(static_cast<TimeBreakpointRecord*>(DeviceList(kTimeBreakpointList).tail)->time, 7000u);
}

TEST_F(ExprRunServices, ImpulseIsAUnitAreaPulse)
{
    PlotRecord plot;
    CurveRecord& c = AddCurve(plot, "IMPULSE(2)", 0);
    AnalysisVariables& v = Analysis().variables;
    double area = 0.0;
    const int n = 4000;
    for (int i = 0; i < n; ++i) {
        v.time = (i + 0.5) * 3.0 / n;
        Complex r;
        ASSERT_EQ(EvaluateExpression(c.yExpression, r), 0);
        area += r.real() * 3.0 / n;
    }
    EXPECT_NEAR(area, 1.0, 1e-6);
}

TEST_F(ExprRunServices, SpectralExpressionsStoreTheirOperandsPerPoint)
{
    SpectralWorkRecord spectral;
    CompiledExpression e;
    ExpressionRequest request;
    InitExpressionRecord("MAG(CMUL(FFT(T), FFT(2*T)))", &e, test::kPlotContext, test::kPlotKinds, request);
    request.spectral = &spectral;
    request.quiet = true;
    ASSERT_EQ(CompileExpression(request), 0);
    EXPECT_EQ(spectral.bufferCount, 2);
    EXPECT_EQ(e.spectral, &spectral);
    EXPECT_EQ(static_cast<const ExpressionInstruction*>(e.instructions.tail)->opcode, kOpSpectralMag);
    for (int i = 0; i < 70; ++i) {
        Analysis().variables.time = i;
        Complex r;
        ASSERT_EQ(EvaluateExpression(e, r), 0);
    }
    EXPECT_EQ(spectral.pointIndex, 70);
    ASSERT_EQ(spectral.buffers.size(), 2u);
    ASSERT_EQ(spectral.buffers[0].size(), 2u);  // 64 points a page
    ASSERT_EQ(spectral.buffers[1].size(), 2u);
    EXPECT_EQ(spectral.buffers[0][1]->points[5], std::complex<float>(69.0f, 0.0f));
    EXPECT_EQ(spectral.buffers[1][1]->points[5], std::complex<float>(138.0f, 0.0f));
    EXPECT_EQ(spectral.buffers[1][1]->points[6], std::complex<float>(0.0f, 0.0f));
}

TEST_F(ExprRunServices, PerformanceFunctionsMeasureTheirCurveThroughTheWindow)
{
    CompiledExpression e;
    ASSERT_EQ(Compile("2*PEAK(T*3, 1, 4)", e, kContextPerformance | kContextTransient), 0) << lastError;
    ASSERT_EQ(e.subExpressions.size(), 1u);
    Complex r;
    EXPECT_EQ(EvaluateExpression(e, r), kEvalFailed);  // no performance window

    const CompiledExpression* seen = nullptr;
    int function = -1;
    std::vector<double> arguments;
    PerformanceFunctionHandler measure = [&](const CompiledExpression& curve, int index, std::span<const double> args,
                                             double& value) {
        seen = &curve;
        function = index;
        arguments.assign(args.begin(), args.end());
        // The measurement evaluates its curve while the outer evaluation waits.
        Complex y;
        Analysis().variables.time = 3.5;
        const int rc = EvaluateExpression(const_cast<CompiledExpression&>(curve), y);
        value = y.real() * 2.0;
        return rc;
    };
    EvaluationInputs inputs;
    inputs.performance = &measure;
    ASSERT_EQ(EvaluateExpression(e, r, inputs), 0);
    EXPECT_DOUBLE_EQ(r.real(), 2 * (3.5 * 3) * 2);
    EXPECT_EQ(seen, e.subExpressions[0].get());
    EXPECT_EQ(function, 2);  // PEAK
    EXPECT_EQ(arguments, (std::vector<double>{1.0, 4.0}));
    // The curve is an expression of its own, compiled for the transient analysis.
    Analysis().variables.time = 2.0;
    ASSERT_EQ(EvaluateExpression(*e.subExpressions[0], r), 0);
    EXPECT_DOUBLE_EQ(r.real(), 6.0);
    // A failure of the measurement is the evaluation's.
    measure = [](const CompiledExpression&, int, std::span<const double>, double&) { return 15055; };
    EXPECT_EQ(EvaluateExpression(e, r, inputs), 15055);
    EXPECT_EQ(CompileError("PEAK(T*3)", kContextPerformance | kContextTransient), 10419);
}

TEST_F(ExprRunServices, DeviceHistoryIsClearedAtRunStart)
{
    std::vector<double> charges = {1.0, 2.0, 3.0};
    std::vector<double> fluxes = {4.0};
    Devices().history = {{charges}, {fluxes}};
    ResetDeviceHistory();
    EXPECT_EQ(charges, (std::vector<double>{0.0, 0.0, 0.0}));
    EXPECT_EQ(fluxes, (std::vector<double>{0.0}));
}

}  // namespace
}  // namespace kq5
