#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "analog/run_control.h"
#include "ui/window_record.h"
#include "private_tmp.h"
#include "results/curve_record.h"
#include "results/run_state.h"
#include "results/waveform_store.h"

namespace kq5 {
namespace {

class WaveformStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp_.Make("kq5-store"));
        ResetRunControlForTests();
    }
    void TearDown() override
    {
        SetWaveformMemoryProbeForTests({});
        tmp_.Remove();
    }

    static CurveRecord& AddCurve(PlotRecord& plot, char xLetter = 0)
    {
        plot.curves.push_back(std::make_unique<CurveRecord>());
        plot.builtCurveCount = plot.curveCount = static_cast<int>(plot.curves.size());
        plot.curves.back()->xLetter[0] = xLetter;
        return *plot.curves.back();
    }

    // Stores n points of a curve: X = first + i, Y = 10 (first + i) + tag.
    static void StorePoints(PlotRecord& plot, CurveRecord& curve, int first, int n, double tag)
    {
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(AdvanceCurvePoint(plot.store, curve), 1);
            const std::int32_t p = curve.lastPointIndex;
            SetWaveformValue(plot.store, curve.storeSlots[0], p, first + i);
            SetWaveformValue(plot.store, curve.storeSlots[1], p, 10.0 * (first + i) + tag);
        }
    }

    std::size_t FilesInDir() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(tmp_.Dir()), {}));
    }

    testing::PrivateTmp tmp_;
};

TEST_F(WaveformStoreTest, SweepVariableSharesSlotZeroOnlyInItsOwnAnalysis)
{
    PlotRecord plot;
    CurveRecord& time = AddCurve(plot, 'T');
    CurveRecord& other = AddCurve(plot);
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 0, 1), 0);
    EXPECT_EQ(time.storeSlots[0], 0);
    EXPECT_EQ(time.storeSlots[1], 1);
    EXPECT_EQ(other.storeSlots[0], 2);
    EXPECT_EQ(other.storeSlots[1], 3);
    EXPECT_EQ(plot.store.slotCount, 4);

    // The same expression in a DC analysis is a variable of its own; a digital curve never shares.
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 2, 1), 0);
    EXPECT_EQ(time.storeSlots[0], 1);
    time.digital = 1;
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 0, 1), 0);
    EXPECT_EQ(time.storeSlots[0], 1);

    // A performance window gives every curve six slots.
    ASSERT_EQ(CreateWaveformStore(plot, kWindowPerformance, 0, 1), 0);
    EXPECT_EQ(plot.store.slotCount, 13);
    EXPECT_EQ(plot.store.fileName, kPerformanceStoreFileName);
}

// A batch run that draws nothing keeps every point of what it prints and of a curve checked for
// differences after the run, and only the last points of the others: enough to place the run's
// first point at its start time.
TEST_F(WaveformStoreTest, APrintedOnlyStoreKeepsEveryPointOfWhatIsReadAfterTheRun)
{
    PlotRecord plot;
    CurveRecord& printed = AddCurve(plot, 'T');
    printed.printAxis[1].print = true;
    CurveRecord& checked = AddCurve(plot, 'T');
    checked.flags |= kCurveUsesDifference;
    CurveRecord& unread = AddCurve(plot, 'T');
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 0, 1, true), 0);
    EXPECT_EQ(plot.store.resident.size(), 3u * kWaveformPagePoints);  // the time, the printed and the checked
    RewindWaveformStore(plot);
    const int n = 3 * kWaveformPagePoints + 5;
    auto store = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            for (CurveRecord* c : {&printed, &checked, &unread}) {
                ASSERT_EQ(AdvanceCurvePoint(plot.store, *c), 1);
                StoreCurvePoint(plot.store, *c, i, i, 10.0 * i + (c == &unread ? 1.0 : 0.0), i);
            }
    };
    store(0, 3);
    // The run's first point moved to the start, as InterpolateRunStartPoint does.
    WaveformStoreReplace(unread, 0, -5.0);
    EXPECT_EQ(GetWaveformValue(plot.store, unread.storeSlots[1], 0), -5.0);
    EXPECT_EQ(GetWaveformValue(plot.store, unread.storeSlots[1], 2), 21.0);
    store(3, n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(GetWaveformValue(plot.store, 0, i), i);
        ASSERT_EQ(GetWaveformValue(plot.store, printed.storeSlots[1], i), 10.0 * i);
        ASSERT_EQ(GetWaveformValue(plot.store, checked.storeSlots[1], i), 10.0 * i);
    }
    for (int i = n - kRecentSlotPoints; i < n; ++i)
        EXPECT_EQ(GetWaveformValue(plot.store, unread.storeSlots[1], i), 10.0 * i + 1.0);
    EXPECT_EQ(GetWaveformValue(plot.store, unread.storeSlots[1], 0), 0.0);
    EXPECT_EQ(unread.lastPointIndex, n - 1);

    // Without the mark every curve keeps every point.
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 0, 1), 0);
    EXPECT_EQ(plot.store.resident.size(), 4u * kWaveformPagePoints);
}

// A digital state holds over many points: its curve keeps the changes, and its X (the run's
// time) reads slot 0, yet every point reads back what was stored, through pages on disk too.
TEST_F(WaveformStoreTest, DigitalCurvesReadBackEveryPointFromTheirChanges)
{
    SetWaveformMemoryProbeForTests([] { return false; });
    PlotRecord plot;
    CurveRecord& analog = AddCurve(plot, 'T');
    CurveRecord& digital = AddCurve(plot, 'T');
    digital.digital = 1;
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 0, 2), 0);
    EXPECT_EQ(plot.store.slotCount, 4);
    EXPECT_EQ(plot.store.resident.size(), 2u * kWaveformPagePoints);  // time and the analog Y only
    RewindWaveformStore(plot);
    auto state = [](int i) { return static_cast<double>(0x1F8 + 3 * ((i / 700) % 2)); };
    constexpr int kPoints = 5000;
    for (int run = 0; run < 2; ++run) {
        for (int i = run * kPoints; i < (run + 1) * kPoints; ++i) {
            ASSERT_EQ(AdvanceCurvePoint(plot.store, analog), 1);
            ASSERT_EQ(AdvanceCurvePoint(plot.store, digital), 1);
            StoreCurvePoint(plot.store, analog, i, i * 1e-9, 0.5 * i, i * 1e-9);
            StoreCurvePoint(plot.store, digital, i, i * 1e-9, state(i), i * 1e-9);
        }
        EndWaveformRun(plot, false, RunRecord{});
    }
    EXPECT_LT(plot.store.slotValues[static_cast<std::size_t>(digital.storeSlots[1])].starts.size(), 20u);
    // A run's first point set again (to the run's start), and one point inside a stretch.
    SetWaveformValue(plot.store, digital.storeSlots[0], kPoints, -1.0);
    SetWaveformValue(plot.store, digital.storeSlots[1], kPoints, 0x1FC);
    SetWaveformValue(plot.store, digital.storeSlots[1], 3, 0x1FC);
    SetWaveformValue(plot.store, digital.storeSlots[1], 4, 0x1FC);
    SetWaveformValue(plot.store, digital.storeSlots[1], 3, state(3));
    for (int i : {0, 3, 4, 5, 699, 700, 701, 1023, 1024, 4999, 5000, 5001, 9999, 2, 7000}) {
        const double y = i == kPoints || i == 4 ? 0x1FC : state(i);
        EXPECT_EQ(GetWaveformValue(plot.store, digital.storeSlots[1], i), y) << i;
        EXPECT_EQ(GetWaveformValue(plot.store, digital.storeSlots[0], i), i == kPoints ? -1.0 : i * 1e-9) << i;
        EXPECT_EQ(GetWaveformValue(plot.store, analog.storeSlots[1], i), 0.5 * i) << i;
    }
    EXPECT_EQ(SlotReadAs(plot.store, digital.storeSlots[0]), digital.storeSlots[0]);
    // Beyond the last stored point nothing is there.
    EXPECT_EQ(GetWaveformValue(plot.store, digital.storeSlots[1], 2 * kPoints), 0.0);

    // A new analysis writes from point 0 again and finds none of the old changes.
    ClearCurveRunMarks(plot);
    RewindWaveformStore(plot);
    EXPECT_EQ(SlotReadAs(plot.store, digital.storeSlots[0]), 0);
    ASSERT_EQ(AdvanceCurvePoint(plot.store, digital), 1);
    StoreCurvePoint(plot.store, digital, 0, 0.0, 0x1FB, 0.0);
    EXPECT_EQ(GetWaveformValue(plot.store, digital.storeSlots[1], 0), 0x1FB);
    EXPECT_EQ(GetWaveformValue(plot.store, digital.storeSlots[1], 1), 0.0);
}

// A bus curve takes more values than a digital state: past the first 256 its changes still
// read back each value as stored.
TEST_F(WaveformStoreTest, ABusCurveReadsBackMoreValuesThanAStateHas)
{
    PlotRecord plot;
    CurveRecord& bus = AddCurve(plot, 'T');
    bus.digital = 1;
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 0, 1), 0);
    RewindWaveformStore(plot);
    auto value = [](int i) { return i % 1000 == 7 ? -0.0 : static_cast<double>((i / 3) * 4099 % 65536); };
    constexpr int kPoints = 3000;
    for (int i = 0; i < kPoints; ++i) {
        ASSERT_EQ(AdvanceCurvePoint(plot.store, bus), 1);
        StoreCurvePoint(plot.store, bus, i, i * 1e-9, value(i), i * 1e-9);
    }
    for (int i = 0; i < kPoints; ++i) {
        const double y = GetWaveformValue(plot.store, bus.storeSlots[1], i);
        EXPECT_EQ(y, value(i)) << i;
        EXPECT_EQ(std::signbit(y), std::signbit(value(i))) << i;
    }
}

TEST_F(WaveformStoreTest, PagesThroughTheFileAcrossManyPointsAndRuns)
{
    SetWaveformMemoryProbeForTests([] { return false; });
    PlotRecord plot;
    CurveRecord& a = AddCurve(plot);
    CurveRecord& b = AddCurve(plot);
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 2, 3), 0);
    RewindWaveformStore(plot);
    constexpr int kPoints = 5000;  // five pages a run
    for (int run = 0; run < 3; ++run) {
        StorePoints(plot, a, run * kPoints, kPoints, 1.0);
        StorePoints(plot, b, run * kPoints, kPoints, 2.0);
        RunRecord record;
        record.temperature = 25.0 + run;
        EndWaveformRun(plot, false, record);
    }
    EXPECT_EQ(plot.store.runCount, 3);
    ASSERT_NE(plot.store.file, nullptr);
    EXPECT_GT(plot.store.highestBlockWritten, 10);
    for (int p = 0; p < plot.store.pageCount; ++p) EXPECT_EQ(plot.store.pages[static_cast<std::size_t>(p)].state, kPageOnDisk);

    // Reads in any order find every value again, through the file.
    for (int i : {0, 14999, 1023, 1024, 7000, 3, 12345, 14000, 5000}) {
        EXPECT_EQ(GetWaveformValue(plot.store, a.storeSlots[0], i), i) << i;
        EXPECT_EQ(GetWaveformValue(plot.store, a.storeSlots[1], i), 10.0 * i + 1.0) << i;
        EXPECT_EQ(GetWaveformValue(plot.store, b.storeSlots[1], i), 10.0 * i + 2.0) << i;
    }
    EXPECT_EQ(GetCurveRunValue(plot.store, b.storeSlots[1], b, 7, 2), 10.0 * (2 * kPoints + 7) + 2.0);
    EXPECT_EQ(plot.store.runs[1].temperature, 26.0);
    // Beyond what was stored nothing is read and no page is made.
    const int pages = plot.store.pageCount;
    EXPECT_EQ(GetWaveformValue(plot.store, a.storeSlots[0], 200000), 0.0);
    EXPECT_EQ(plot.store.pageCount, pages);

    // Run bookkeeping.
    EXPECT_EQ(a.runFirstIndex[1], kPoints);
    EXPECT_EQ(a.runLastIndex[2], 3 * kPoints - 1);
    EXPECT_EQ(FindRunOfPoint(plot.store, a, 2 * kPoints + 5), 2);
    EXPECT_EQ(FindRunOfPoint(plot.store, a, 3 * kPoints), -1);
    EXPECT_EQ(FirstPointOfRunAt(plot, 0, kPoints + 9), kPoints);
    EXPECT_EQ(FirstPointOfRunAt(plot, 0, 99999), 2 * kPoints);

    // The file goes with the store.
    EXPECT_EQ(FilesInDir(), 1u);
    ResetWaveformStore(plot);
    EXPECT_EQ(FilesInDir(), 0u);
    EXPECT_TRUE(plot.curves.empty());
}

TEST_F(WaveformStoreTest, MemoryPagesNeverUseTheFileAndDiskPagesStayOnDisk)
{
    PlotRecord plot;
    CurveRecord& a = AddCurve(plot);
    bool plenty = true;
    SetWaveformMemoryProbeForTests([&] { return plenty; });
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 2, 1), 0);
    RewindWaveformStore(plot);
    StorePoints(plot, a, 0, 3 * kWaveformPagePoints, 0.0);
    EXPECT_EQ(plot.store.file, nullptr);
    EXPECT_EQ(FilesInDir(), 0u);

    // Memory runs short: later pages go to disk, and stay there when memory comes back.
    plenty = false;
    StorePoints(plot, a, 3 * kWaveformPagePoints, 3 * kWaveformPagePoints, 0.0);
    plenty = true;
    StorePoints(plot, a, 6 * kWaveformPagePoints, 2 * kWaveformPagePoints, 0.0);
    EXPECT_EQ(plot.store.pages[2].state, kPageInMemory);
    EXPECT_EQ(plot.store.pages[3].state, kPageOnDisk);
    EXPECT_EQ(plot.store.pages[7].state, kPageOnDisk);
    for (int i = 0; i < 8 * kWaveformPagePoints; i += 511) EXPECT_EQ(GetWaveformValue(plot.store, a.storeSlots[1], i), 10.0 * i);
}

TEST_F(WaveformStoreTest, PartialRunAndRewind)
{
    SetWaveformMemoryProbeForTests([] { return false; });
    PlotRecord plot;
    CurveRecord& a = AddCurve(plot);
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 2, 1), 0);
    RewindWaveformStore(plot);
    StorePoints(plot, a, 0, 1500, 0.0);
    // Esc records the partial run without counting it.
    EndWaveformRun(plot, true, RunRecord{});
    EXPECT_EQ(plot.store.runCount, 0);
    EXPECT_EQ(a.runLastIndex[0], 1499);
    EXPECT_EQ(CountRunPoints(plot.store, a), 1499);
    EXPECT_EQ(FindRunOfPoint(plot.store, a, 10), -1);
    EXPECT_EQ(FirstPointOfRunAt(plot, 0, 10), 0);

    // A new case overwrites from point 0; pages past the old ones keep distinct blocks.
    ClearCurveRunMarks(plot);
    RewindWaveformStore(plot);
    StorePoints(plot, a, 100000, 3000, 0.0);
    for (int i : {0, 1499, 1500, 2999}) EXPECT_EQ(GetWaveformValue(plot.store, a.storeSlots[0], i), 100000 + i) << i;
}

TEST_F(WaveformStoreTest, TwoStoresNeverShareATemporaryFile)
{
    SetWaveformMemoryProbeForTests([] { return false; });
    PlotRecord first, second;
    CurveRecord& a = AddCurve(first);
    CurveRecord& b = AddCurve(second);
    ASSERT_EQ(CreateWaveformStore(first, kWindowAnalysis, 2, 1), 0);
    ASSERT_EQ(CreateWaveformStore(second, kWindowAnalysis, 2, 1), 0);
    RewindWaveformStore(first);
    RewindWaveformStore(second);
    StorePoints(first, a, 0, 2500, 1.0);
    StorePoints(second, b, 0, 2500, 2.0);
    ASSERT_TRUE(first.store.file && second.store.file);
    EXPECT_EQ(FilesInDir(), 2u);
    for (int i : {0, 1200, 2400}) {
        EXPECT_EQ(GetWaveformValue(first.store, a.storeSlots[1], i), 10.0 * i + 1.0);
        EXPECT_EQ(GetWaveformValue(second.store, b.storeSlots[1], i), 10.0 * i + 2.0);
    }
}

TEST_F(WaveformStoreTest, PlannedRunsFollowTemperatureAndSecondSweep)
{
    PlannedRuns plan;
    EXPECT_EQ(PlannedRunCount(plan), 1);
    plan.temperatureCount = TemperatureRunCount(0, 100, 25);
    EXPECT_EQ(PlannedRunCount(plan), 5);
    plan.input2Count = Input2ValueCount(0, 1, 0.5);
    EXPECT_EQ(PlannedRunCount(plan), 15);
    plan.runCount = 2;
    EXPECT_EQ(PlannedRunCount(plan), 30);
    // A product past int (and past the most runs an analysis plans) is refused, not wrapped.
    plan.runCount = 1000000;
    plan.temperatureCount = 5000;
    EXPECT_EQ(PlannedRunCount(plan), 0);
}

TEST_F(WaveformStoreTest, ALoneCurveKeepsItsOwnPoints)
{
    CurveRecord curve;
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(WaveformStoreWrite(curve, i * 0.5, kWaveformX), 0);
        ASSERT_EQ(WaveformStoreWrite(curve, -i, kWaveformY), 0);
    }
    curve.runFirstIndex = {0, 1000};
    curve.runLastIndex = {999, 2999};
    EXPECT_EQ(WaveformStoreRead(curve, 1, 5, kWaveformX), 502.5);
    EXPECT_EQ(WaveformStoreRead(curve, 0, 2999), -2999.0);
    EXPECT_EQ(WaveformStoreRead(curve, 1, 5000), 0.0);
    WaveformStoreReplace(curve, 2500, 7.0);
    EXPECT_EQ(WaveformStoreRead(curve, 1, 1500), 7.0);
}

}  // namespace
}  // namespace kq5
