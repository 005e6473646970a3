#include "analog/limiting.h"

#include <algorithm>
#include <cmath>

namespace kq5 {

namespace {

// The junction rule; true when v was limited.
bool LimitJunction(double& v, double vold, double vt, double vcrit)
{
    if (!(v > vcrit && std::abs(v - vold) > 2.0 * vt)) return false;
    if (vold > 0.0) {
        const double arg = 1.0 + (v - vold) / vt;
        v = arg > 0.0 ? vold + vt * std::log(arg) : vcrit;
    } else {
        v = vt * std::log(v / vt);
    }
    return true;
}

}  // namespace

void LimitJunctionVoltage(double& v, double vold, double vt, double vcrit, int& check)
{
    if (!LimitJunction(v, vold, vt, vcrit)) check = 0;
}

double LimitJunctionVoltageByValue(double vnew, double vold, double vt, double vcrit, int& check)
{
    check = LimitJunction(vnew, vold, vt, vcrit) ? 1 : 0;
    return vnew;
}

double LimitFetVoltage(double vnew, double vold, double vto)
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

void LimitFetGateVoltage(double& v, double vold, double vto) { v = LimitFetVoltage(v, vold, vto); }

double LimitDrainSourceVoltage(double vnew, double vold)
{
    if (vold >= 3.5) {
        if (vnew > vold) return std::min(vnew, 3.0 * vold + 2.0);
        if (vnew < 3.5) return std::max(vnew, 2.0);
        return vnew;
    }
    return vnew > vold ? std::min(vnew, 4.0) : std::max(vnew, -0.5);
}

void MeyerGateCapacitances(double vgs, double vgd, double von, double vdsat, double& cgs,
                           double& cgd, double& cgb, double phi, double cox)
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
