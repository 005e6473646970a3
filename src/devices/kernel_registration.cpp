#include "devices/device_families.h"

#include "analog/device_run_services.h"
#include "analog/noise.h"
#include "analog/stamp_ac.h"
#include "core/device_record_fields.h"
#include "devices/ideal_line_load.h"
#include "devices/inductor_load.h"
#include "devices/laplace_source_load.h"
#include "devices/linear_ac.h"
#include "devices/linear_noise.h"
#include "devices/linear_stamps.h"
#include "devices/lossy_line_load.h"
#include "devices/model_temperature.h"
#include "devices/mosfet_load.h"
#include "devices/mosfet_model.h"
#include "devices/op_report.h"
#include "devices/poly_load.h"
#include "devices/sample_hold_load.h"
#include "devices/source_ac.h"
#include "devices/source_functions.h"
#include "devices/source_load.h"
#include "devices/table_source_load.h"
#include "devices/temperature_setup.h"

namespace kq5 {

void RegisterLinearDeviceKinds()
{
    RegisterDeviceKindHandlers(kSlotLinearSources, SetupLinearSources, LoadLinearSources);
    RegisterDeviceKindHandlers(kSlotPolySources, SetupPolySources, LoadPolySources);
    RegisterDeviceKindHandlers(kSlotOpamps, SetupOpamps, LoadOpamps);
    RegisterDeviceKindHandlers(kSlotSources, SetupSources, LoadSources);
    RegisterDeviceKindHandlers(kSlotResistors, SetupResistors, LoadResistors);
    RegisterDeviceKindHandlers(kSlotVoltageSwitches, SetupVoltageSwitches, LoadVoltageSwitches);
    RegisterDeviceKindHandlers(kSlotCurrentSwitches, SetupCurrentSwitches, LoadCurrentSwitches);
    RegisterDeviceKindHandlers(kSlotSwitches, SetupSwitches, LoadSwitches);
    RegisterDeviceKindHandlers(kSlotInductors, SetupInductorsAndCouplings, LoadInductorsAndCouplings);
    RegisterDeviceKindHandlers(kSlotCapacitors, SetupCapacitors, LoadCapacitors);
    RegisterDeviceKindHandlers(kSlotInitialValues, SetupInitialValues, LoadInitialValues);

    RegisterAcStamper(kAcCapacitors, AcLoadCapacitors);
    RegisterAcStamper(kAcInductors, AcLoadInductors);
    RegisterAcStamper(kAcCouplings, AcLoadCouplings);
    RegisterAcStamper(kAcResistors, AcLoadResistors);
    RegisterAcStamper(kAcSwitches, AcLoadSwitches);
    RegisterAcStamper(kAcLinearDependentSources, AcLoadLinearDependentSources);
    RegisterAcStamper(kAcIndependentSources, AcLoadIndependentSources);
    RegisterAcStamper(kAcPolySources, AcLoadPolySources);
    RegisterAcStamper(kAcOpamps, AcLoadOpamps);
    RegisterAcStamper(kAcIdealLines, AcLoadIdealLines);

    RegisterNoiseBuilder(kNoiseResistors, ResistorNoise);
    RegisterNoiseBuilder(kNoiseSwitches, SwitchNoise);
}

void RegisterDeviceRunServices()
{
    DeviceRunServices& d = DeviceServices();
    d.clearDeviceHistoryFields = ClearDeviceHistoryFields;
    d.setCircuitTemperature = [](double celsius) {
        if (int rc = SetCircuitTemperature(celsius)) return rc;
        return PrepareModelsAtTemperature(celsius);
    };
    d.resetMosfetOperatingValues = ResetAllMosOperatingValues;
    d.solveCores = SolveCores;
    d.commitCoreStates = CommitList31States;
    d.evaluateSourcesAtTime = EvaluateSourcesAtTime;
    d.maxSourceTimeStep = MaxSourceTimeStep;
    d.expandAllPwlTables = ExpandAllPwlTables;
    d.freeLaplaceBuffers = FreeLaplaceBuffers;
    d.resetLaplaceTableSourceStates = ResetLaplaceTableSourceStates;
    d.prepareSampleHolds = PrepareSampleHolds;
    d.addSampleBreakpoints = AddSampleBreakpoints;
    d.saveSampleHoldValues = SaveSampleHoldValues;
    d.restoreSampleHoldValues = RestoreSampleHoldValues;
    d.resetUserSourceIndices = ResetUserSourceIndices;
    d.commitUserSourceIndices = CommitUserSourceIndices;
    d.tableSourceStepRatio = TableSourceStepRatio;
    d.acceptTableSourceStates = AcceptTableSourceStates;
    d.setLineStepLimits = SetLineStepLimits;
    d.pruneLineHistories = PruneLineHistories;
    d.clearLineHistories = ClearLineHistories;
    d.lossyLineStepLimit = LossyLineStepLimit;
    d.lossyLineLandingStep = LossyLineLandingStep;
    d.loadConstantLinearPart = LoadConstantLinearPart;
    d.writeOperatingPointReport = WriteOperatingPointReport;
    d.writeBehindDeviceReports = WriteBehindMosfetReports;
}

}  // namespace kq5
