#pragma once
// Integration of the charge (or flux) states of reactive elements into currents and
// companion models, and the movement of the state histories at accepted points.
//
// A state owns four consecutive slots in the charge vector and in the current vector: slot 0
// the present point, slots 1 to 3 the accepted points before it. It is addressed by the index
// of its slot 0.
#include <cstddef>
#include <span>

#include "analog/analog_state.h"
#include "analog/integration.h"

namespace kq5 {

// Sets current[0] of one state from its charge slots with the method, order and
// coefficients. False when the method and order give no current (a Gear order beyond the
// four slots leaves current[0] at 0; a trapezoidal order other than 1 or 2 leaves it as it
// was); no companion values are formed then.
bool IntegrateStateCurrent(int method, int order, const IntegrationCoefficients& coefficients,
                           std::span<const double, kStateSlots> charge,
                           std::span<double, kStateSlots> current);

// slot 3 <- slot 2 <- slot 1 <- slot 0 in every four-slot block of the vector.
void ShiftStateBlocks(std::span<double> states);
// Slots 2 and 3 of every block take slot 1 (the operating point) at the first accepted point.
void FillStateHistories(std::span<double> states);

// --- the running analysis ----------------------------------------------------------------

// Updates the present current of the state and gives the companion model of a capacitance
// (or inductance) value: geq = coefficient 0 * value, ceq = i0 - coefficient 0 * q0, so that
// the branch current is geq * v + ceq. geq and ceq are left untouched when the method and
// order give no current.
inline void IntegrateCharge(int stateIndex, double capacitance, double& geq, double& ceq);
void IntegrateChargeGeq(int stateIndex, double capacitance, double& geq);
// Updates the present current of the state only.
inline void IntegrateChargeCurrent(int stateIndex);

// After an accepted point, in both state vectors.
void ShiftStateHistories();
// At the first accepted point of a run, in both state vectors.
void InitStateHistories();

// The device loads call IntegrateCharge once per reactive element and iteration: the
// trapezoidal orders are worked out here, in line; the rest goes through the general path.
void IntegrateChargeGeneral(AnalogSolverState& s, std::size_t i, double capacitance, double& geq, double& ceq);
void IntegrateChargeCurrentGeneral(AnalogSolverState& s, std::size_t i);

// Whether both vectors hold the four slots of the state at stateIndex.
inline bool StateHeld(const AnalogSolverState& s, int stateIndex)
{
    const std::size_t i = static_cast<std::size_t>(stateIndex);
    return stateIndex >= 0 && i + kStateSlots <= s.chargeStates.size() && i + kStateSlots <= s.currentStates.size();
}

// Whether the method and order are the trapezoidal orders 1 or 2, which every device's charges go
// through at every iteration, in line (TrapezoidalPresentCurrent).
inline bool TrapezoidalOrder(const AnalogSolverState& s)
{
    return s.method == kMethodTrap && (s.order == 1 || s.order == 2);
}
// The present current of the state at slot i, which both vectors hold, by those orders.
inline void TrapezoidalPresentCurrent(AnalogSolverState& s, std::size_t i)
{
    const double* q = s.chargeStates.data() + i;
    double* current = s.currentStates.data() + i;
    current[0] = s.order == 1 ? s.ag1 * q[1] + s.ag0 * q[0] : s.ag0 * (q[0] - q[1]) - s.ag1 * current[1];
}

inline void IntegrateCharge(int stateIndex, double capacitance, double& geq, double& ceq)
{
    AnalogSolverState& s = AnalogSolver();
    if (!StateHeld(s, stateIndex)) return;
    const std::size_t i = static_cast<std::size_t>(stateIndex);
    if (!TrapezoidalOrder(s)) {
        IntegrateChargeGeneral(s, i, capacitance, geq, ceq);
        return;
    }
    TrapezoidalPresentCurrent(s, i);
    geq = s.ag0 * capacitance;
    ceq = s.currentStates[i] - s.ag0 * s.chargeStates[i];
}

inline void IntegrateChargeCurrent(int stateIndex)
{
    AnalogSolverState& s = AnalogSolver();
    if (!StateHeld(s, stateIndex)) return;
    const std::size_t i = static_cast<std::size_t>(stateIndex);
    if (TrapezoidalOrder(s))
        TrapezoidalPresentCurrent(s, i);
    else
        IntegrateChargeCurrentGeneral(s, i);
}

}  // namespace kq5
