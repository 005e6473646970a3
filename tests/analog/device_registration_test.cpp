// The device families fill the engine's dispatch tables and run services when their record
// types are registered: a kind left without its load, or a service left empty, would solve a
// circuit without those devices or skip their time functions without any message.
#include <gtest/gtest.h>

#include "analog/device_dispatch.h"
#include "analog/device_run_services.h"
#include "devices/device_record_types.h"

namespace kq5::testing {
namespace {

TEST(DeviceRegistrationTest, RecordTypesBringEveryKindsLoadAndEveryRunService)
{
    RegisterCircuitDeviceRecordTypes();
    for (DeviceKindSlot slot : {kSlotDiodes, kSlotLossyLines, kSlotLinearSources, kSlotPolySources,
                                kSlotLaplaceSources, kSlotLaplaceTableSources, kSlotFormulaSources,
                                kSlotSampleHolds, kSlotTableSources, kSlotBjts, kSlotOpamps,
                                kSlotMosLevel123, kSlotMosLevel45, kSlotMosLevel8, kSlotJfets,
                                kSlotGaasfets, kSlotIdealLines, kSlotSources, kSlotResistors,
                                kSlotVoltageSwitches, kSlotCurrentSwitches, kSlotSwitches,
                                kSlotInductors, kSlotCapacitors, kSlotInitialValues}) {
        const DeviceKindHandlers installed = RegisterDeviceKindHandlers(slot, nullptr, nullptr);
        RegisterDeviceKindHandlers(slot, installed.setup, installed.load);
        EXPECT_NE(installed.load, nullptr) << "slot " << slot;
    }

    const DeviceRunServices& d = DeviceServices();
    EXPECT_TRUE(d.clearDeviceHistoryFields && d.setCircuitTemperature && d.solveCores && d.commitCoreStates && d.evaluateSourcesAtTime &&
                d.maxSourceTimeStep && d.expandAllPwlTables && d.freeLaplaceBuffers &&
                d.resetLaplaceTableSourceStates && d.prepareSampleHolds && d.addSampleBreakpoints &&
                d.saveSampleHoldValues && d.restoreSampleHoldValues && d.resetUserSourceIndices &&
                d.commitUserSourceIndices && d.tableSourceStepRatio && d.acceptTableSourceStates &&
                d.setLineStepLimits && d.pruneLineHistories && d.clearLineHistories && d.lossyLineStepLimit &&
                d.lossyLineLandingStep && d.loadConstantLinearPart && d.writeOperatingPointReport);
}

}  // namespace
}  // namespace kq5::testing
