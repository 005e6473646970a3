#include "analog/limiting_commit.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "core/device_lists.h"
#include "core/digital_node_states.h"

namespace kq5 {

namespace {

MosfetHistoryCommitFn& MosfetCommit()
{
    static MosfetHistoryCommitFn commit = nullptr;
    return commit;
}

void CopyInto(const std::vector<double>& from, std::vector<double>& to)
{
    std::copy_n(from.begin(), std::min(from.size(), to.size()), to.begin());
}

}  // namespace

void SaveAcceptedPoint()
{
    AnalogSolverState& s = AnalogSolver();
    std::swap(s.olderSolution, s.savedSolution);
    const std::vector<double>& x = SolutionVector();
    CopyInto(x, s.savedSolution);
    CopyInto(x, s.previousSolution);
    const DigitalSimulatorState& d = DigitalSimulator();
    TransientRunState& t = TransientRun();
    t.savedDigitalCurrent = d.current;
    t.savedDigitalPrevious = d.previous;
    t.savedDigitalScheduled = d.scheduled;
}

void RegisterMosfetHistoryCommit(MosfetHistoryCommitFn commit) { MosfetCommit() = commit; }

void CommitMosfetVoltageHistory()
{
    if (DeviceList(kMosfetDeviceList).count == 0 || !MosfetCommit()) return;
    MosfetCommit()(AnalogSolver().runPhase == kPhaseTimeSteps);
}

}  // namespace kq5
