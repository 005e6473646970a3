// This program against ngspice on the netlists of circuits/: the operating point, transient
// waveforms, AC response, DC sweeps and output noise (ngspice must be installed).
#include "reference_support.h"

namespace kq5::reference {
namespace {

TEST_F(ReferenceTest, OperatingPointOfEveryLinearElement) { Compare("op_linear_elements"); }
TEST_F(ReferenceTest, OperatingPointOfPolySources) { Compare("op_poly_sources"); }
TEST_F(ReferenceTest, WaveformSourcesTakeTheirDcValues) { Compare("op_waveform_sources"); }
TEST_F(ReferenceTest, NonlinearPolySinkNeedsIterations) { Compare("op_cubic_sink"); }
TEST_F(ReferenceTest, StiffPolySinkNeedsManyIterations) { Compare("op_stiff_poly"); }
TEST_F(ReferenceTest, SourceSteppingReachesTheOperatingPoint) { Compare("op_source_stepping"); }
TEST_F(ReferenceTest, OperatingPointOfForwardReferencesAndPolyForms) { Compare("op_forward_references"); }
TEST_F(ReferenceTest, SubcircuitParametersHideTopLevelOnes) { Compare("op_param_scopes"); }
TEST_F(ReferenceTest, CaretRaisesToAPowerInSpiceText) { Compare("op_caret_powers"); }
TEST_F(ReferenceTest, TablePointsWithScaleSuffixes) { Compare("op_table_suffixes"); }
TEST_F(ReferenceTest, BehaviouralSourcesWithoutEquals) { Compare("op_abm_without_equals"); }
TEST_F(ReferenceTest, ParametersInBehaviouralFormulas) { Compare("op_value_params"); }

TEST_F(ReferenceTest, TransientRcPulse) { Compare("tran_rc_pulse"); }
TEST_F(ReferenceTest, TransientRlcDampedSine) { Compare("tran_rlc_damped_sine"); }
TEST_F(ReferenceTest, TransientLcTankWithoutMaximumStepKeepsItsPhase) { Compare("tran_lc_tank_default_step"); }
TEST_F(ReferenceTest, TransientSineHoldsItsStartingValueUntilItsDelay) { Compare("tran_sine_delayed_phase"); }
TEST_F(ReferenceTest, TransientExp) { Compare("tran_exp_rc"); }
TEST_F(ReferenceTest, TransientPwl) { Compare("tran_pwl_current"); }
TEST_F(ReferenceTest, TransientIcHeldAtTheOperatingPoint) { Compare("tran_ic_held_at_operating_point"); }
TEST_F(ReferenceTest, TransientInitialConditions) { Compare("tran_initial_conditions"); }
TEST_F(ReferenceTest, TransientStartTimeOnlyDelaysTheOutput) { Compare("tran_start_time"); }
TEST_F(ReferenceTest, TransientPwlRepeat) { Compare("tran_pwl_repeat"); }
TEST_F(ReferenceTest, TransientPwlForeverAndNested) { Compare("tran_pwl_forever"); }
TEST_F(ReferenceTest, TransientSffm) { Compare("tran_sffm"); }
TEST_F(ReferenceTest, TransientSffmDefaults) { Compare("tran_sffm_defaults"); }
TEST_F(ReferenceTest, TransientTransformer) { Compare("tran_transformer"); }
TEST_F(ReferenceTest, TransientThreeCoupledInductors) { Compare("tran_three_coupled"); }
TEST_F(ReferenceTest, TransientControlledSources) { Compare("tran_controlled_sources"); }
TEST_F(ReferenceTest, TransientIntegrator) { Compare("tran_integrator"); }
TEST_F(ReferenceTest, TransientSwitchFollowsItsControlThroughTheTransition) { Compare("tran_switch_ramp"); }
TEST_F(ReferenceTest, TransientIdealLineKeepsTheCornersOfItsDelayedWaves) { Compare("tran_ideal_line_corners"); }
TEST_F(ReferenceTest, TransientLatchStartsFromTheStateItsInitialConditionsHold) { Compare("tran_latch_held_state"); }
TEST_F(ReferenceTest, TransientLatchKeepsItsHeldStateThroughTheOperatingPointFallbacks)
{
    Compare("tran_latch_held_through_stepping");
}

TEST_F(ReferenceTest, AcRcLadder) { Compare("ac_rc_ladder"); }
TEST_F(ReferenceTest, AcCoupledRlc) { Compare("ac_coupled_rlc"); }
TEST_F(ReferenceTest, AcThreeCoupledInductors) { Compare("ac_three_coupled"); }
TEST_F(ReferenceTest, AcControlledSources) { Compare("ac_controlled_sources"); }
TEST_F(ReferenceTest, AcCurrentSourceTank) { Compare("ac_current_source"); }
TEST_F(ReferenceTest, AcTemperatureCoefficients) { Compare("ac_temperature_coefficients"); }
TEST_F(ReferenceTest, AcValuesWrittenAsExpressionsOfTheBias) { Compare("ac_bias_expressions"); }

TEST_F(ReferenceTest, DcSweepControlledSources) { Compare("dc_sweep_controlled"); }
TEST_F(ReferenceTest, DcSweepPolySources) { Compare("dc_sweep_poly"); }
TEST_F(ReferenceTest, DcSweepNestedAndFalling) { Compare("dc_sweep_nested"); }
TEST_F(ReferenceTest, DcSweepOfTemperatureCoefficients) { Compare("dc_sweep_temperature"); }
TEST_F(ReferenceTest, DcSweepOfACurrentSource) { Compare("dc_current_source"); }
TEST_F(ReferenceTest, DcSweepOfFewLargeStepsReachesItsEnd) { Compare("dc_short_stop"); }
TEST_F(ReferenceTest, DcSweepLeavesCapacitorsOpen) { Compare("dc_sweep_capacitors"); }

TEST_F(ReferenceTest, NoiseOfResistorDivider) { Compare("noise_resistor_divider"); }
TEST_F(ReferenceTest, NoiseOfRcBridge) { Compare("noise_rc_bridge"); }
TEST_F(ReferenceTest, NoiseWithACurrentSourceInput) { Compare("noise_current_input"); }
TEST_F(ReferenceTest, InputNoiseOfACurrentSourceOffGround) { Compare("noise_floating_current_input"); }
TEST_F(ReferenceTest, InputNoiseOfOneOfTwoDrivingSources) { Compare("noise_differential_drive"); }

}  // namespace
}  // namespace kq5::reference
