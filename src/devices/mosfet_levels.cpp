// The drain-current evaluators of the MOSFET LEVEL 2 (Grove-Frohman with Baum's velocity
// saturation) and LEVEL 3 (semi-empirical short channel) models.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "netlist/numeric_helpers.h"
#include "netlist/fet_devices.h"
#include "devices/mosfet_level3.h"
#include "devices/mosfet_load.h"
#include "devices/mosfet_model.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

constexpr double kSiliconPermittivity = 1.035943139907e-10;
constexpr double kChargeQ = 1.6021918e-19;
constexpr double kTwoPi = 6.283185307179586;

using mos_channel::FrameOf;
using mos_channel::Root;

// The smallest positive root of Baum's quartic x^4 + a1 x^3 + b1 x^2 + c1 x + d1, through its
// resolvent cubic; false when none is found.
bool BaumQuarticRoot(double a1, double b1, double c1, double d1, double& root)
{
    const double a = -b1;
    const double b = a1 * c1 - 4.0 * d1;
    const double c = -d1 * (a1 * a1 - 4.0 * b1) - c1 * c1;
    const double r = -a * a / 3.0 + b;
    const double s = 2.0 * a * a * a / 27.0 - a * b / 3.0 + c;
    const double p = s * s / 4.0 + r * r * r / 27.0;
    const double p2 = Root(p);
    double y3;
    if (p < 0.0) {
        const double ro = std::exp(std::log(Root(s * s / 4.0 + std::fabs(p))) / 3.0);
        const double fi = std::atan(-2.0 * p2 / s);
        y3 = 2.0 * ro * std::cos(fi / 3.0) - a / 3.0;
    } else {
        const double p3 = std::exp(std::log(std::fabs(-s / 2.0 + p2)) / 3.0);
        const double p4 = std::exp(std::log(std::fabs(-s / 2.0 - p2)) / 3.0);
        y3 = p3 + p4 - a / 3.0;
    }
    const double a3 = Root(a1 * a1 / 4.0 - b1 + y3);
    const double b3 = Root(y3 * y3 / 4.0 - d1);
    constexpr std::array<double, 4> sig1{1.0, -1.0, 1.0, -1.0};
    constexpr std::array<double, 4> sig2{1.0, 1.0, -1.0, -1.0};
    bool found = false;
    for (std::size_t i = 0; i < 4; ++i) {
        const double a4 = a1 / 2.0 + sig1[i] * a3;
        const double b4 = y3 / 2.0 + sig2[i] * b3;
        const double delta = a4 * a4 / 4.0 - b4;
        if (delta < 0.0) continue;
        for (double x : {-a4 / 2.0 + std::sqrt(delta), -a4 / 2.0 - std::sqrt(delta)}) {
            if (x <= 0.0) continue;
            const double residue = std::fabs((((x + a1) * x + b1) * x + c1) * x + d1);
            if (residue > 1e-6) continue;
            if (!found || x < root) root = x;
            found = true;
        }
    }
    return found;
}

}  // namespace

MosChannel EvaluateMosLevel2(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d)
{
    const MosfetTemperatureBlock& tb = Level123Block(d).temperature;
    const MosfetLoadValues& iv = d.values;
    const double type = tb.type;
    const double gamma = tb.gamma, nsub = tb.nsub, nfs = tb.nfs,
                 xj = tb.xj, uc = tb.ucrit, uexp = tb.uexp,
                 vmax = tb.vmax, neff = tb.neff, delta = tb.delta,
                 xd = tb.xd;
    // The threshold moves with temperature as in LEVEL 1 and 3: the built-in voltage is the one
    // prepared at the device temperature, not the nominal one of the model.
    const double vbi = tb.tvbi;
    const double L = iv.leff, W = iv.weff, phi = tb.tphi, vt = tb.vt, oxcap = tb.oxcap;
    const auto [lvgs, lvbs, lvds] = FrameOf(vgs, vgd, vds, vbd, vbs, d);
    const double pmv = phi - lvbs;
    const double sphi = Root(phi), sphi3 = phi * sphi;
    MosChannel ch;

    double sarg, dsrgdb, d2sdb2;
    if (lvbs <= 0.0) {
        sarg = Root(pmv);
        dsrgdb = -0.5 / sarg;
        d2sdb2 = 0.5 * dsrgdb / pmv;
    } else {
        sarg = sphi / (1.0 + 0.5 * lvbs / phi);
        const double t = sarg / sphi3;
        dsrgdb = -0.5 * sarg * t;
        d2sdb2 = -dsrgdb * t;
    }
    double barg, dbrgdb, d2bdb2;
    if (lvds - lvbs >= 0.0) {
        barg = Root(pmv + lvds);
        dbrgdb = -0.5 / barg;
        d2bdb2 = 0.5 * dbrgdb / (pmv + lvds);
    } else {
        barg = sphi / (1.0 + 0.5 * (lvbs - lvds) / phi);
        const double t = barg / sphi3;
        dbrgdb = -0.5 * barg * t;
        d2bdb2 = -dbrgdb * t;
    }
    // The narrow-width factor is that of one of the M parallel devices, by its own oxide capacitance.
    const double factor = oxcap != 0.0 ? delta * 0.125 * kTwoPi * kSiliconPermittivity / (oxcap / d.m) * L : 0.0;
    const double eta = 1.0 + factor;
    const double vbin = factor * pmv + type * vbi;

    double gamasd, dgddvb = 0.0, dgdvds = 0.0, dgddb2 = 0.0, dgddvbds = 0.0;
    if (gamma > 0.0 || nsub > 0.0) {
        double argss = 0.0, argsd = 0.0, dbargs = 0.0, dbargd = 0.0;
        if (xj > 0.0) {
            const double argxs = 1.0 + xd * sarg * 2.0 / xj;
            const double argxd = 1.0 + xd * barg * 2.0 / xj;
            const double args = Root(argxs), argd = Root(argxd);
            const double t = 0.5 * xj / L;
            argss = t * (args - 1.0);
            argsd = t * (argd - 1.0);
            gamasd = gamma * (1.0 - argss - argsd);
            dbargs = 0.5 * xd * dsrgdb / (L * args);
            dbargd = 0.5 * xd * dbrgdb / (L * argd);
            // Second slopes of argss and argsd in the bulk voltage.
            const double dasdb2 = xd * (d2sdb2 - dsrgdb * dsrgdb * xd / (xj * argxs)) / (2.0 * L * args);
            const double daddb2 = xd * (d2bdb2 - dbrgdb * dbrgdb * xd / (xj * argxd)) / (2.0 * L * argd);
            dgddb2 = -gamma * (dasdb2 + daddb2);
            dgddvbds = gamma * daddb2;  // the drain voltage moves dgddvb through argd
            dgdvds = 0.5 * gamma * xd * dbrgdb / (L * argd);
        } else {
            gamasd = gamma * (1.0 - argss - argsd);
        }
        dgddvb = -gamma * (dbargs + dbargd);
    } else {
        gamasd = gamma;
    }

    double von = vbin + gamasd * sarg;
    double vdsat = 0.0;
    const bool weak = nfs != 0.0 && oxcap != 0.0;
    double xn = 1.0, argg = 0.0;
    auto finish = [&](MosChannel c) {
        c.von = von;
        c.vdsat = vdsat;
        return c;
    };
    if (weak) {
        const double cdonco = -(gamasd * dsrgdb + dgddvb * sarg) + factor;
        xn = 1.0 + kChargeQ * nfs / oxcap * W * L + cdonco;
        von += vt * xn;
        argg = 1.0 / (vt * xn);
    } else if (lvgs <= von) {
        return finish(ch);
    }
    const double vgst = lvgs - von;

    const double sarg3 = sarg * sarg * sarg;
    double body = barg * barg * barg - sarg3;
    double gdbdv = 2.0 * gamasd * (barg * barg * dbrgdb - sarg * sarg * dsrgdb);
    double dodvbs = -factor + dgddvb * sarg + gamasd * dsrgdb;
    double dxndvb = 0.0, dxndvd = 0.0, dodvds = 0.0;
    if (weak) {
        // xn grows by the depletion term -(gamasd dsrgdb + dgddvb sarg): its slopes carry that sign.
        dxndvb = -(2.0 * dgddvb * dsrgdb + gamasd * d2sdb2 + dgddb2 * sarg);
        dodvbs += vt * dxndvb;
        dxndvd = -(dgdvds * dsrgdb + dgddvbds * sarg);
        dodvds = dgdvds * sarg + vt * dxndvd;
    }

    double ufact = 1.0, dudvgs = 0.0, dudvbs = 0.0;
    if (oxcap > 0.0 && vgst > uc) {
        ufact = std::exp(uexp * std::log(uc / vgst));
        dudvgs = -ufact * uexp / vgst;
        dudvbs = uexp * ufact * dodvbs / vgst;
    }
    const double ueff = tb.uo * ufact;
    const double dudvds = 0.0;

    const double vgsx = weak ? std::max(lvgs, von) : lvgs;
    const double gammad = gamasd / eta;
    double dsdvgs, dsdvbs;
    if (gammad > 0.0) {
        const double argv = (vgsx - vbin) / eta + pmv;
        if (argv <= 0.0) {
            vdsat = dsdvgs = dsdvbs = 0.0;
        } else {
            const double arg = std::sqrt(1.0 + 4.0 * argv / (gammad * gammad));
            vdsat = std::max((vgsx - vbin) / eta + gammad * gammad * (1.0 - arg) / 2.0, 0.0);
            dsdvgs = (1.0 - 1.0 / arg) / eta;
            dsdvbs = (gammad * (1.0 - arg) + 2.0 * argv / (gammad * arg)) / eta * dgddvb + 1.0 / arg + factor * dsdvgs;
        }
    } else {
        vdsat = std::max((vgsx - vbin) / eta, 0.0);
        dsdvgs = 1.0;
        dsdvbs = 0.0;
    }

    if (vmax > 0.0) {
        const double vx1 = (vgsx - vbin) / eta + pmv, vx2 = pmv;
        const double xv = vmax * L / ueff;
        const double a1 = gammad / 0.75, b1 = -2.0 * (vx1 + xv), c1 = -2.0 * gammad * xv;
        const double d1 = 2.0 * vx1 * (vx2 + xv) - vx2 * vx2 - (4.0 / 3.0) * gammad * sarg3;
        double x = 0.0;
        if (BaumQuarticRoot(a1, b1, c1, d1, x)) vdsat = x * x - pmv;
    }

    double lambda = tb.lambda;
    double dldvgs = 0.0, dldvds = 0.0, dldvbs = 0.0;
    double bsarg = 0.0, dbsrdb = 0.0, bodys = 0.0, gdbdvs = 0.0;
    if (lvds != 0.0) {
        if (lvbs - vdsat <= 0.0) {
            bsarg = Root(vdsat + pmv);
            dbsrdb = -0.5 / bsarg;
        } else {
            bsarg = sphi / (1.0 + 0.5 * (lvbs - vdsat) / phi);
            dbsrdb = -0.5 * bsarg * bsarg / sphi3;
        }
        bodys = bsarg * bsarg * bsarg - sarg3;
        gdbdvs = 2.0 * gamasd * (bsarg * bsarg * dbsrdb - sarg * sarg * dsrgdb);
        double dldsat = 0.0;
        bool modulate = false;
        if (vmax <= 0.0) {
            if (nsub != 0.0 && lambda <= 0.0) {
                const double argv = (lvds - vdsat) / 4.0;
                const double sargv = std::sqrt(1.0 + argv * argv);
                lambda = xd / (L * lvds) * Root(argv + sargv);
                dldsat = lvds * lambda / (8.0 * sargv);
                modulate = true;
            }
        } else {
            const double argv = (vgsx - vbin) / eta - vdsat;
            const double xdv = xd / Root(neff);
            const double xlv = vmax * xdv / (2.0 * ueff);
            const double vqchan = argv - gamasd * bsarg;
            const double dqdsat = -1.0 + gamasd * dbsrdb;
            const double vl = vmax * L;
            const double dfunds = vl * dqdsat - ueff * vqchan;
            const double dfundg = (vl - ueff * vdsat) / eta;
            const double dfundb = -vl * (1.0 + dqdsat - factor / eta) + ueff * (gdbdvs - dgddvb * bodys / 1.5) / eta;
            dsdvgs = -dfundg / dfunds;
            dsdvbs = -dfundb / dfunds;
            if (nsub != 0.0 && lambda <= 0.0) {
                const double xls = std::sqrt(xlv * xlv + std::max(lvds - vdsat, 0.0));
                lambda = xdv / (L * lvds) * (xls - xlv);
                // Below the saturation voltage the modulation is held at zero, and so is its slope.
                dldsat = lvds > vdsat ? xdv / (2.0 * xls) / L : 0.0;
                modulate = true;
            }
        }
        if (modulate) {
            dldvgs = dldsat * dsdvgs;
            dldvds = dldsat - lambda;
            dldvbs = dldsat * dsdvbs;
        }
    }

    double xwb = xd * Root(tb.pb);
    const double xld = L - xwb;
    double clfact = 1.0 - lambda * lvds;
    dldvds = -lambda - dldvds;
    if (nsub == 0.0) xwb = 2.5e-7;
    if (L * clfact < xwb) {
        const double xleff = xwb / (1.0 + (lambda * lvds * L - xld) / xwb);
        clfact = xleff / L;
        const double f = xleff * xleff / (xwb * xwb);
        dldvgs *= f;
        dldvds *= f;
        dldvbs *= f;
    }
    const double beta1 = tb.beta * ufact / clfact;

    if (lvds <= 1e-10) {
        if (lvgs > von)
            ch.gds = beta1 * (lvgs - vbin - gamasd * sarg);
        else if (!weak)
            ch.gds = 0.0;
        else
            ch.gds = beta1 * (von - vbin - gamasd * sarg) * ClampedExp(argg * (lvgs - von));
        return finish(ch);
    }
    if (lvgs > von) {
        if (lvds <= vdsat) {
            const double cd = beta1 * ((lvgs - vbin - eta * lvds / 2.0) * lvds - gamasd * body / 1.5);
            ch.cdrain = cd;
            ch.gm = cd * (dudvgs / ufact - dldvgs / clfact) + beta1 * lvds;
            ch.gds = cd * (dudvds / ufact - dldvds / clfact) +
                     beta1 * (lvgs - vbin - eta * lvds - gamasd * barg - dgdvds * body / 1.5);
            ch.gmbs = cd * (dudvbs / ufact - dldvbs / clfact) - beta1 * (gdbdv + dgddvb * body / 1.5 - factor * lvds);
        } else {
            const double cd = beta1 * ((lvgs - vbin - eta * vdsat / 2.0) * vdsat - gamasd * bodys / 1.5);
            const double g = beta1 * (lvgs - vbin - eta * vdsat - gamasd * bsarg);
            ch.cdrain = cd;
            ch.gm = cd * (dudvgs / ufact - dldvgs / clfact) + beta1 * vdsat + g * dsdvgs;
            ch.gds = -cd * dldvds / clfact - beta1 * dgdvds * bodys / 1.5;
            ch.gmbs = cd * (dudvbs / ufact - dldvbs / clfact) - beta1 * (gdbdvs + dgddvb * bodys / 1.5 - factor * vdsat) +
                      g * dsdvbs;
        }
        return finish(ch);
    }
    // Weak inversion (only with NFS and an oxide capacitance).
    if (vdsat <= 0.0) {
        // Below the saturation knee nothing flows; the conductances go with the current.
        ch.gds = 0.0;
        return finish(ch);
    }
    const double vdson = std::min(vdsat, lvds);
    if (lvds > vdsat) {
        barg = bsarg;
        body = bodys;
        gdbdv = gdbdvs;
    }
    const double cdson = beta1 * ((von - vbin - eta * vdson / 2.0) * vdson - gamasd * body / 1.5);
    const double didvds = beta1 * (von - vbin - eta * vdson - gamasd * barg);
    // von moves with the drain voltage through the short-channel body factor.
    double gdson = -cdson * dldvds / clfact - beta1 * dgdvds * body / 1.5 + beta1 * dodvds * vdson;
    if (lvds < vdsat) gdson += didvds;
    double gbson = -cdson * dldvbs / clfact + beta1 * (dodvbs * vdson + factor * vdson - dgddvb * body / 1.5 - gdbdv);
    if (lvds > vdsat) gbson += didvds * dsdvbs;
    const double expg = ClampedExp(argg * (lvgs - von));
    ch.cdrain = cdson * expg;
    const double gmw = ch.cdrain * argg;
    // Below von the saturation voltage is taken at von, so the gate acts through the exponent only.
    ch.gm = gmw;
    // The exponent moves with von and xn; its slope is the exponential part gmw of gm alone.
    const double t = gmw * (lvgs - von) / xn;
    ch.gds = gdson * expg - gmw * dodvds - t * dxndvd;
    ch.gmbs = gbson * expg - gmw * dodvbs - t * dxndvb;
    return finish(ch);
}

void PrepareMosLevel3Constants(MosfetDevice& d)
{
    MosfetTemperatureBlock& tb = Level123Block(d).temperature;
    const double L = d.values.leff, W = d.values.weff, cox = tb.cox, xj = tb.xj, oxcap = tb.oxcap;
    MosfetTemperatureBlock::Level3Constants& c = tb.level3;
    c.eta = cox != 0.0 ? tb.eta * 8.15e-22 / (cox * L * L * L) : 0.0;
    c.ldOverXj = xj != 0.0 ? tb.ld / xj : 0.0;
    c.xjOverL = xj / L;
    c.narrowOverW = tb.delta / (W / d.m);  // by the width of one of the M parallel devices
    c.csonco = oxcap != 0.0 ? kChargeQ * tb.nfs * L * W / oxcap : 0.0;
    tb.level3Body = {};
}

// The terms of the LEVEL 3 channel that depend on the bulk voltage lvbs alone, written into t.
void Level3BodyTerms(const MosfetTemperatureBlock& tb, double lvbs, MosfetTemperatureBlock::Level3Body& t)
{
    const double gamma = tb.gamma, xj = tb.xj, xd = tb.xd, phi = tb.tphi;
    double phibs, sqphbs, dsqdvb;
    if (lvbs <= 0.0) {
        phibs = phi - lvbs;
        sqphbs = Root(phibs);
        dsqdvb = -0.5 / sqphbs;
    } else {
        const double sqphis = Root(phi), sqphs3 = phi * sqphis;
        sqphbs = sqphis / (1.0 + lvbs / (2.0 * phi));
        phibs = sqphbs * sqphbs;
        dsqdvb = -phibs / (2.0 * sqphs3);
    }
    double fshort = 1.0, dfsdvb = 0.0;
    if (xj != 0.0 && xd != 0.0) {
        const double wps = xd * sqphbs;
        const double wponxj = wps / xj;
        const double djonxj = tb.level3.ldOverXj;
        const double wconxj = 0.0631353 + 0.8013292 * wponxj - 0.01110777 * wponxj * wponxj;
        const double arga = wconxj + djonxj;
        const double argc = wponxj / (1.0 + wponxj);
        const double argb = Root(1.0 - argc * argc);
        fshort = 1.0 - tb.level3.xjOverL * (arga * argb - djonxj);
        const double dwpdvb = xd * dsqdvb;
        const double dadvb = (0.8013292 - 2.0 * 0.01110777 * wponxj) * dwpdvb / xj;
        const double dbdvb = -argc * argc * (1.0 - argc) * dwpdvb / (argb * wps);
        dfsdvb = -tb.level3.xjOverL * (dadvb * argb + arga * dbdvb);
    }
    t.valid = true;
    t.lvbs = lvbs;
    const double gammas = gamma * fshort;
    const double fbodys = 0.5 * gammas / (2.0 * sqphbs);
    const double nw = tb.level3.narrowOverW;
    t.fbody = fbodys + nw;
    t.onfbdy = 1.0 / (1.0 + t.fbody);
    t.dfbdvb = -fbodys * dsqdvb / sqphbs + fbodys * dfsdvb / fshort;
    t.qbonco = gammas * sqphbs + nw * phibs;
    t.dqbdvb = gammas * dsqdvb + gamma * dfsdvb * sqphbs - nw;
    t.cdonco = t.dxndvb = 0.0;
    if (tb.nfs != 0.0) {
        t.cdonco = t.qbonco / (2.0 * phibs);
        t.dxndvb = t.dqbdvb / (2.0 * phibs) - t.qbonco * dsqdvb / (phibs * sqphbs);
    }
}

MosChannel EvaluateMosLevel3(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d)
{
    return Level3Channel(vgs, vgd, vds, vbd, vbs, d, Level123Block(d).temperature);
}

}  // namespace kq5
