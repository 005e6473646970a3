#pragma once
// Newton step limiting of junction and FET controlling voltages, the Meyer gate
// capacitances of the MOSFET levels 1 to 3, and the commits of an accepted point.
//
// A device load sets its check flag to 1 before limiting a junction and counts one
// non-convergence when the flag is still 1 afterwards, so that Newton does not stop on a
// limited iterate. All voltages are in volts.

namespace kq5 {

// When v lies above vcrit and moved more than 2 vt from vold, brings it back onto the
// junction's logarithmic scale (the flag keeps the caller's value); otherwise clears the
// flag and leaves v.
void LimitJunctionVoltage(double& v, double vold, double vt, double vcrit, int& check);
// The same rule on a value: the limited voltage, check 1 when it limited, else 0.
double LimitJunctionVoltageByValue(double vnew, double vold, double vt, double vcrit, int& check);

// Gate-voltage limiting about the threshold vto.
void LimitFetGateVoltage(double& v, double vold, double vto);
double LimitFetVoltage(double vnew, double vold, double vto);

// Drain-source voltage limiting.
double LimitDrainSourceVoltage(double vnew, double vold);

// Meyer's gate-source, gate-drain and gate-bulk capacitances for the gate voltage above
// the turn-on voltage von, the saturation voltage vdsat, the surface potential phi and the
// oxide capacitance cox.
void MeyerGateCapacitances(double vgs, double vgd, double von, double vdsat, double& cgs,
                           double& cgd, double& cgb, double phi, double cox);

}  // namespace kq5
