#pragma once
// What the run loops ask of the device families besides their set-up, load, AC stamps and noise
// (which they install in the dispatch tables): the circuit at a temperature, the source values
// at the present time, the step limits and histories of the lines, the sample-and-hold and
// table-source states at accepted and rejected points, the magnetic cores, the
// operating-point report. The device families install these once, with their record types
// (RegisterCircuitDeviceRecordTypes); a member left empty does nothing (a circuit without
// device records has nothing for it to do).
#include <functional>

namespace kq5 {

struct DeviceRunServices {
    // The history values of every device record (charges, fluxes, values kept for
    // derivatives), cleared at the start of a run.
    std::function<void()> clearDeviceHistoryFields;
    // The models and every instance at the temperature (degrees Celsius); 0 or a message id.
    std::function<int(double celsius)> setCircuitTemperature;
    // The orientation and operating values every MOSFET's load starts from (the per-run set-up
    // keeps those of the operating point an AC analysis reuses).
    std::function<void()> resetMosfetOperatingValues;
    // The solution's magnetic cores (after an AC bias point); 0 or a message id.
    std::function<int()> solveCores;
    // The cores' committed states: 0 clears them, 1 accepts the present point, 2 goes back to
    // the last accepted point.
    std::function<void(int op)> commitCoreStates;
    // The independent sources' values at the present time or sweep value; 0 or a message id.
    std::function<int()> evaluateSourcesAtTime;
    // The largest first step the time functions of the sources allow (seconds).
    std::function<double()> maxSourceTimeStep;
    // The PWL tables of the sources expanded for the run; 0 or a message id.
    std::function<int()> expandAllPwlTables;
    // The states of the Laplace and frequency-table sources before a transient run.
    std::function<void()> freeLaplaceBuffers;
    std::function<int(int op)> resetLaplaceTableSourceStates;
    // The sample-and-hold elements: their start (reset), the breakpoints of their sampling
    // instants (0 or a message id), their values kept at an accepted point and restored at a
    // rejected one.
    std::function<void(int reset)> prepareSampleHolds;
    std::function<int()> addSampleBreakpoints;
    std::function<void()> saveSampleHoldValues;
    std::function<void()> restoreSampleHoldValues;
    // The user-file sources' search positions: reset at the start, committed at an accepted point.
    std::function<void()> resetUserSourceIndices;
    std::function<void()> commitUserSourceIndices;
    // The table sources: their step ratio after a converged point, their states accepted.
    std::function<void()> tableSourceStepRatio;
    std::function<void()> acceptTableSourceStates;
    // The transmission lines: the largest step their delays allow (0 or a message id), their
    // port histories pruned at an accepted point (0 or a message id) and cleared after the
    // run, the lossy lines' bound on the next step and on the step that lands on their next
    // sample.
    std::function<int(double& maxStep)> setLineStepLimits;
    std::function<int()> pruneLineHistories;
    std::function<void()> clearLineHistories;
    std::function<double(double step)> lossyLineStepLimit;
    std::function<double(double step)> lossyLineLandingStep;
    // Loads what does not change during the time points of a transient run while the
    // integration coefficient stays (the fixed resistors, the linear capacitors' conductances)
    // into the cleared matrix and notes the coefficient; 0 when they were loaded.
    std::function<int()> loadConstantLinearPart;
    // The operating-point report of the numeric output (the semiconductors' and inductors'
    // working values).
    std::function<void()> writeOperatingPointReport;
    // The reported quantities of the devices (terminal currents, charges, capacitances) that
    // the loads of a transient run's time points leave unwritten while nothing reads them,
    // written from what each device's last load left.
    std::function<void()> writeBehindDeviceReports;
};

// The program's device services.
DeviceRunServices& DeviceServices();

}  // namespace kq5
