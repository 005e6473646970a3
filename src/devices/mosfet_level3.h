#pragma once
// The LEVEL 3 channel (semi-empirical short channel) in a form the LEVEL 1 to 3 load takes in
// line, without a call and the return of its six values through memory at every evaluation.
#include <algorithm>
#include <cmath>

#include "devices/mosfet_load.h"
#include "netlist/fet_devices.h"
#include "netlist/numeric_helpers.h"

namespace kq5 {

namespace mos_channel {

inline double Root(double x) { return std::sqrt(std::fabs(x)); }

// The frame of the device's orientation.
struct Frame {
    double lvgs, lvbs, lvds;
};
inline Frame FrameOf(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d)
{
    if (d.mode == 1.0) return {vgs, vbs, vds};
    return {vgd, vbd, d.mode * vds};
}

}  // namespace mos_channel

// The terms of the LEVEL 3 channel that depend on the bulk voltage lvbs alone, written into t.
void Level3BodyTerms(const MosfetTemperatureBlock& tb, double lvbs, MosfetTemperatureBlock::Level3Body& t);

[[gnu::always_inline]] inline MosChannel Level3Channel(double vgs, double vgd, double vds, double vbd, double vbs,
                                                       const MosfetDevice& d, const MosfetTemperatureBlock& tb)
{
    const MosfetLoadValues& iv = d.values;
    const auto [lvgs, lvbs, lvds] = mos_channel::FrameOf(vgs, vgd, vds, vbd, vbs, d);
    MosfetTemperatureBlock::Level3Body& body = tb.level3Body;
    if (!body.valid || body.lvbs != lvbs) Level3BodyTerms(tb, lvbs, body);
    // The constants are read after the body terms' call, so that none is held across it.
    const double type = tb.type;
    const double nfs = tb.nfs, vmax = tb.vmax, theta = tb.ucrit, kappa = tb.utra, alpha = tb.lambda;
    const double L = iv.leff, vt = tb.vt, beta = tb.beta;
    const double eta = tb.level3.eta;
    MosChannel ch;
    const double fbody = body.fbody, onfbdy = body.onfbdy, dfbdvb = body.dfbdvb, qbonco = body.qbonco,
                 dqbdvb = body.dqbdvb;

    const double vth = type * tb.tvbi - eta * lvds + qbonco;
    const double dvtdvd = -eta, dvtdvb = dqbdvb;
    double von = vth, xn = 1.0, dxndvb = 0.0, dvodvd = 0.0, dvodvb = 0.0;
    double vdsat = 0.0;
    auto finish = [&](MosChannel c) {
        c.von = von;
        c.vdsat = vdsat;
        return c;
    };
    if (nfs != 0.0) {
        xn = 1.0 + tb.level3.csonco + body.cdonco;
        von = vth + vt * xn;
        dxndvb = body.dxndvb;
        dvodvd = dvtdvd;
        dvodvb = dvtdvb + vt * dxndvb;
    } else if (lvgs <= von) {
        return finish(ch);
    }
    const double vgsx = std::max(lvgs, von);

    double onfg = 1.0, fgate = 1.0, dfgdvg = 0.0, dfgdvd = 0.0, dfgdvb = 0.0;
    if (theta != 0.0) {
        onfg = 1.0 + theta * (vgsx - vth);
        fgate = 1.0 / onfg;
        dfgdvg = -theta * fgate * fgate;
        dfgdvd = -dfgdvg * dvtdvd;
        dfgdvb = -dfgdvg * dvtdvb;
    }
    const double us = tb.uo * fgate;

    vdsat = (vgsx - vth) * onfbdy;
    double vdsc = 0.0, onvdsc = 0.0, arga = 0.0, argb = 0.0;
    if (vmax > 0.0) {
        vdsc = L * vmax / us;
        onvdsc = 1.0 / vdsc;
        arga = vdsat;
        argb = std::sqrt(arga * arga + vdsc * vdsc);
        vdsat = arga + vdsc - argb;
    }

    const double vdsx = std::min(lvds, vdsat);
    const bool saturated = vdsat < lvds;
    if (vdsx == 0.0) {
        ch.gds = beta * fgate * (vgsx - vth);
        if (nfs != 0.0 && lvgs < von) ch.gds *= ClampedExp((lvgs - von) / (vt * xn));
        return finish(ch);
    }
    // The slopes of the saturation voltage: only a saturated channel reads them.
    double dvsdvg = 0.0, dvsdvb = 0.0, dvsdvd = 0.0;
    if (saturated) {
        if (vmax <= 0.0) {
            dvsdvg = onfbdy;
            dvsdvb = -dvsdvg * dvtdvb - vdsat * dfbdvb * onfbdy;
        } else {
            const double dvsdga = (1.0 - arga / argb) * onfbdy;
            dvsdvg = dvsdga - (1.0 - vdsc / argb) * vdsc * dfgdvg * onfg;
            dvsdvb = -dvsdvg * dvtdvb - arga * dvsdga * dfbdvb;
        }
        dvsdvd = -dvsdvg * dvtdvd;
    }

    const double cdo = vgsx - vth - 0.5 * (1.0 + fbody) * vdsx;
    const double dcodvb = -dvtdvb - 0.5 * dfbdvb * vdsx;
    const double cdnorm = cdo * vdsx;
    double gm, gds, gmbs;
    if (!saturated) {
        gm = vdsx;
        gds = vgsx - vth - (1.0 + fbody + dvtdvd) * vdsx;
        gmbs = dcodvb * vdsx;
    } else {
        gm = dvsdvg * cdo + (1.0 - 0.5 * (1.0 + fbody) * dvsdvg) * vdsx;
        gds = cdo * dvsdvd + (-dvtdvd - 0.5 * (1.0 + fbody) * dvsdvd) * vdsx;
        gmbs = (vgsx - vth) * dvsdvb + (dcodvb - (1.0 + fbody) * dvsdvb) * vdsx;
    }
    const double cd1 = beta * cdnorm;
    const double betap = beta * fgate;
    double cdrain = betap * cdnorm;
    ch.gm = betap * gm + dfgdvg * cd1;
    ch.gds = betap * gds + dfgdvd * cd1;
    ch.gmbs = betap * gmbs + dfgdvb * cd1;

    double fdrain = 1.0, dfddvg = 0.0, dfddvd = 0.0, dfddvb = 0.0;
    if (vmax > 0.0) {
        fdrain = 1.0 / (1.0 + vdsx * onvdsc);
        const double fd2 = fdrain * fdrain;
        const double a = fd2 * vdsx * onvdsc * onfg;
        if (!saturated) {
            dfddvg = -dfgdvg * a;
            dfddvd = -dfgdvd * a - fd2 * onvdsc;
            dfddvb = -dfgdvb * a;
        } else {
            dfddvg = -dfgdvg * a - fd2 * onvdsc * dvsdvg;
            dfddvd = -dfgdvd * a - fd2 * onvdsc * dvsdvd;
            dfddvb = -dfgdvb * a - fd2 * onvdsc * dvsdvb;
        }
        ch.gm = fdrain * ch.gm + dfddvg * cdrain;
        ch.gds = fdrain * ch.gds + dfddvd * cdrain;
        ch.gmbs = fdrain * ch.gmbs + dfddvb * cdrain;
        cdrain *= fdrain;
    }

    double gds0 = ch.gds;
    if (saturated && !(vmax > 0.0 && alpha == 0.0)) {
        double delxl, ddldvg, ddldvd, ddldvb;
        if (vmax <= 0.0) {
            delxl = std::sqrt(kappa * (lvds - vdsat) * alpha);
            const double dldvd = 0.5 * delxl / (lvds - vdsat);
            ddldvg = -dvsdvg * dldvd;
            ddldvd = (1.0 - dvsdvd) * dldvd;
            ddldvb = -dvsdvb * dldvd;
        } else {
            const double cdsat = cdrain;
            const double gdsat = std::max(cdsat * (1.0 - fdrain) * onvdsc, 1e-12);
            const double gdoncd = gdsat / cdsat, gdonfd = gdsat / (1.0 - fdrain), gdonfg = gdsat * onfg;
            const double dgdvg = gdoncd * ch.gm - gdonfd * dfddvg + gdonfg * dfgdvg;
            const double dgdvd = gdoncd * ch.gds - gdonfd * dfddvd + gdonfg * dfgdvd;
            const double dgdvb = gdoncd * ch.gmbs - gdonfd * dfddvb + gdonfg * dfgdvb;
            const double emax = std::fabs(kappa) * cdsat / (L * gdsat);
            const double emoncd = emax / cdsat, emongd = emax / gdsat;
            const double arga = 0.5 * emax * alpha;
            const double argc = kappa * alpha;
            const double argb = std::sqrt(arga * arga + argc * (lvds - vdsat));
            delxl = argb - arga;
            const double dldvd = argc / (2.0 * argb);
            const double dldem = 0.5 * (arga / argb - 1.0) * alpha;
            ddldvg = dldem * (emoncd * ch.gm - emongd * dgdvg) - dvsdvg * dldvd;
            ddldvd = dldem * (emoncd * ch.gds - emongd * dgdvd) + (1.0 - dvsdvd) * dldvd;
            ddldvb = dldem * (emoncd * ch.gmbs - emongd * dgdvb) - dvsdvb * dldvd;
        }
        // Punch-through: beyond half the channel the shortening goes on as L - L^2/(4 delxl),
        // whose slope is L^2/(4 delxl^2); the remaining channel is then L^2/(4 delxl).
        double remaining = L - delxl;
        if (delxl > 0.5 * L) {
            const double slope = L * L / (4.0 * delxl * delxl);
            ddldvg *= slope;
            ddldvd *= slope;
            ddldvb *= slope;
            remaining = L * L / (4.0 * delxl);
            delxl = L - remaining;
        }
        const double xlfact = 1.0 / (1.0 - delxl / L);
        cdrain *= xlfact;
        const double diddl = cdrain / remaining;
        ch.gm = ch.gm * xlfact + diddl * ddldvg;
        gds0 = ch.gds * xlfact + diddl * ddldvd;
        ch.gmbs = ch.gmbs * xlfact + diddl * ddldvb;
        ch.gds = gds0;
    }

    if (lvgs < von) {
        const double ondvt = 1.0 / (xn * vt);
        const double wfact = ClampedExp((lvgs - von) * ondvt);
        cdrain *= wfact;
        const double gms = ch.gm * wfact;
        const double gmw = cdrain * ondvt;
        // Below von the channel is evaluated at von: the gate acts through the exponent only.
        ch.gm = gmw;
        ch.gds = ch.gds * wfact + (gms - gmw) * dvodvd;
        ch.gmbs = ch.gmbs * wfact + (gms - gmw) * dvodvb - gmw * (lvgs - von) * dxndvb / xn;
    }
    ch.cdrain = cdrain;
    return finish(ch);
}

}  // namespace kq5
