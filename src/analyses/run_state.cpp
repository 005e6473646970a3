#include "analyses/run_state.h"

namespace kq5 {

AnalysisRunState& RunState()
{
    static AnalysisRunState state;
    return state;
}

void ResetRunStateForTests() { RunState() = AnalysisRunState{}; }

}  // namespace kq5
