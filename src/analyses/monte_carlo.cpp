#include "analyses/monte_carlo.h"

#include "analyses/run_state.h"

namespace kq5 {

// Until the Monte Carlo options are read, every analysis runs once per temperature.
void SetMonteCarloRunCount(WindowRecord*) {}
int BeginMonteCarlo()
{
    RunState().monteCarloActive = false;
    return 0;
}
void PerturbModels() {}
void EndMonteCarloRun() {}
void CheckMonteCarloFailure() {}
void FreeGaussianPopulation() {}
void FreeReportWhenExpression() {}

}  // namespace kq5
