#pragma once
// Newton step limiting of junction and FET controlling voltages, the Meyer gate
// capacitances of the MOSFET levels 1 to 3, and the commits of an accepted point.
//
// A device load sets its check flag to 1 before limiting a junction and counts one
// non-convergence when the flag is still 1 afterwards, so that Newton does not stop on a
// limited iterate. All voltages are in volts.

#include <algorithm>
#include <cmath>

namespace kq5 {

// When v lies above vcrit and moved more than 2 vt from vold, brings it back onto the
// junction's logarithmic scale (the flag keeps the caller's value); otherwise clears the
// flag and leaves v.
void LimitJunctionVoltage(double& v, double vold, double vt, double vcrit, int& check);
// The test of the rule, and the limited voltage of a junction that passed it. (The device
// loads call the rule in every iteration: its test is made in line.)
inline bool JunctionNeedsLimit(double v, double vold, double vt, double vcrit)
{
    return v > vcrit && std::abs(v - vold) > 2.0 * vt;
}
double LimitedJunctionVoltage(double v, double vold, double vt, double vcrit);
// A junction driven into reverse bias moves at most to 2 vold - 1 V (from reverse bias) or
// -vold - 1 V (from forward bias) in one iteration; sets the flag when it limited. The operating
// point's last round of fallbacks uses it: the first solve of a long chain of gain stages (its
// linearised gain times the starting offsets) can reverse-bias junctions by 1e100 V and more,
// whose gmin currents then swamp the matrix.
inline void LimitReverseJunctionVoltage(double& v, double vold, int& check)
{
    if (v >= 0.0) return;
    const double bound = vold > 0.0 ? -vold - 1.0 : 2.0 * vold - 1.0;
    if (v < bound) {
        v = bound;
        check = 1;
    }
}

// The same rule on a value: the limited voltage, check 1 when it limited, else 0.
inline double LimitJunctionVoltageByValue(double vnew, double vold, double vt, double vcrit, int& check)
{
    check = JunctionNeedsLimit(vnew, vold, vt, vcrit) ? 1 : 0;
    return check ? LimitedJunctionVoltage(vnew, vold, vt, vcrit) : vnew;
}

// Gate-voltage limiting about the threshold vto.
void LimitFetGateVoltage(double& v, double vold, double vto);
inline double LimitFetVoltage(double vnew, double vold, double vto)
{
    const double vtsthi = std::abs(2.0 * (vold - vto)) + 2.0;
    const double vtstlo = vtsthi / 2.0 + 2.0;
    const double vtox = vto + 3.5;
    const double delv = vnew - vold;

    if (vold >= vtox) {  // on
        if (delv <= 0.0) {
            if (vnew < vtox) vnew = std::max(vnew, vto + 2.0);
        } else if (delv >= vtsthi) {
            vnew = vold + vtsthi;
        }
    } else if (vold >= vto) {  // middle region
        vnew = delv <= 0.0 ? std::max(vnew, vto - 0.5) : std::min(vnew, vto + 4.0);
    } else {  // off
        if (delv <= 0.0) {
            if (-delv > vtsthi) vnew = vold - vtsthi;
        } else if (vnew > vto + 0.5) {
            vnew = vto + 0.5;
        } else if (delv > vtstlo) {
            vnew = vold + vtstlo;
        }
    }
    return vnew;
}

// Drain-source voltage limiting.
inline double LimitDrainSourceVoltage(double vnew, double vold)
{
    if (vold >= 3.5) {
        if (vnew > vold) return std::min(vnew, 3.0 * vold + 2.0);
        if (vnew < 3.5) return std::max(vnew, 2.0);
        return vnew;
    }
    return vnew > vold ? std::min(vnew, 4.0) : std::max(vnew, -0.5);
}

// Meyer's gate-source, gate-drain and gate-bulk capacitances for the gate voltage above
// the turn-on voltage von, the saturation voltage vdsat, the surface potential phi and the
// oxide capacitance cox.
inline void MeyerGateCapacitances(double vgs, double vgd, double von, double vdsat, double& cgs, double& cgd,
                                  double& cgb, double phi, double cox)
{
    const double vgst = vgs - von;
    if (vgst <= -phi) {
        cgb = cox / 2.0;
        cgs = cgd = 0.0;
    } else if (vgst <= -phi / 2.0) {
        cgb = -vgst * cox / (2.0 * phi);
        cgs = cgd = 0.0;
    } else if (vgst <= 0.0) {
        cgb = -vgst * cox / (2.0 * phi);
        cgs = vgst * cox / (1.5 * phi) + cox / 3.0;
        cgd = 0.0;
    } else {
        const double vds = vgs - vgd;
        if (vds < vdsat) {
            const double d = 2.0 * vdsat - vds;
            const double d2 = d * d;
            cgs = cox * (1.0 - (vdsat - vds) * (vdsat - vds) / d2) / 3.0;
            cgd = cox * (1.0 - vdsat * vdsat / d2) / 3.0;
        } else {
            cgs = cox / 3.0;
            cgd = 0.0;
        }
        cgb = 0.0;
    }
}

}  // namespace kq5
