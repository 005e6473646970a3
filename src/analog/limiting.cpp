#include "analog/limiting.h"

#include <algorithm>
#include <cmath>

namespace kq5 {

namespace {

// The junction rule; true when v was limited.
bool LimitJunction(double& v, double vold, double vt, double vcrit)
{
    if (!JunctionNeedsLimit(v, vold, vt, vcrit)) return false;
    v = LimitedJunctionVoltage(v, vold, vt, vcrit);
    return true;
}

}  // namespace

double LimitedJunctionVoltage(double v, double vold, double vt, double vcrit)
{
    if (vold > 0.0) {
        const double arg = 1.0 + (v - vold) / vt;
        return arg > 0.0 ? vold + vt * std::log(arg) : vcrit;
    }
    return vt * std::log(v / vt);
}

void LimitJunctionVoltage(double& v, double vold, double vt, double vcrit, int& check)
{
    if (!LimitJunction(v, vold, vt, vcrit)) check = 0;
}

void LimitFetGateVoltage(double& v, double vold, double vto) { v = LimitFetVoltage(v, vold, vto); }

}  // namespace kq5
