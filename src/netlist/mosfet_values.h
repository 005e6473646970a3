#pragma once
// The per-instance values of a MOSFET of LEVEL 1 to 3: what the run's preparation at the
// device temperature derives (MosfetTemperatureBlock) and what each load leaves for the next
// load, the AC stamp and the reports (MosfetLoadValues). The shared evaluated model is never
// written per device, so n devices on one model see exactly what one device would.
namespace kq5 {

struct MosfetTemperatureBlock {
    // What the LEVEL 1 evaluations read comes first.
    // Meyer gate capacitances: present value and (apart, so that a read of them never waits
    // for a write of the others) the value of the last accepted point.
    double cgs = 0.0, cgd = 0.0, cgb = 0.0;
    // Model and instance constants of the load, taken once per run so that the Newton
    // iterations do not look them up in the model for every device.
    double type = 1.0;  // +1 NMOS, -1 PMOS
    double gamma = 0.0, lambda = 0.0, tt = 0.0, rds = 0.0;
    double tvbi = 0.0;
    double tphi = 0.0;
    double oxcap = 0.0;   // Cox x WEFF x LEFF (F)
    double beta = 0.0;    // KP x WEFF / LEFF (A/V^2)
    double cgsPrev = 0.0, cgdPrev = 0.0, cgbPrev = 0.0;
    int level = 1;           // channel code: 1, 2 or 3
    int statementIndex = 0;  // the model's statement, for the warnings of the square roots
    // No series resistance and no RDS: the 18 elements of those conductances always get 0.
    bool seriesFree = false;
    // How the depletion branch of the junction charges raises 1 - v/PB to -MJ and -MJSW.
    enum Grading : unsigned char { kSquareRoot, kSameAsBottom, kPower };
    Grading bottomGrading = kPower, sidewallGrading = kPower;
    // The drain junction held the same voltage at the last two accepted points (a drain on a
    // supply): its memo is worth asking. A switching drain would miss it at every evaluation.
    bool drainSteady = false;
    // The depletion charge and capacitance of each junction at the voltage of its last
    // evaluation: a junction whose voltage did not change (a source tied to the bulk) is not
    // evaluated again. Cleared by the run's preparation; a cleared memo holds a NaN voltage,
    // which no voltage equals.
    struct JunctionMemo {
        double v = __builtin_nan(""), charge = 0.0, capacitance = 0.0;
    };
    JunctionMemo sourceMemo, drainMemo;
    // The LEVEL 1 threshold and gmbs / gm factor at the bulk voltage x of their last evaluation,
    // in the frame of the device's orientation: a bulk tied to the source holds x at 0. Cleared
    // by the run's preparation (a NaN voltage).
    struct Level1Body {
        double x = __builtin_nan(""), von = 0.0, arg = 0.0;
    };
    mutable Level1Body level1Body;
    // Junction charge coefficients above the depletion threshold.
    double f2d = 0.0, f3d = 0.0, f4d = 0.0, f2s = 0.0, f3s = 0.0, f4s = 0.0;
    double depcap = 0.0;  // depletion threshold voltage (FC x PB at the device temperature)
    double isatsOverNvt = 0.0, isatdOverNvt = 0.0;  // the reverse-biased junctions' conductances less GMIN
    double pb = 0.0;
    double mj = 0.5, mjsw = 0.33;  // grading coefficients held off 1
    // 1 / PB, PB / (1 - MJ) and PB / (1 - MJSW): the depletion branch multiplies by them.
    double pbInverse = 0.0, pbOverBottom = 0.0, pbOverSidewall = 0.0;
    // Model values at the device temperature, kept here instead of in the shared model.
    double tdev = 27.0;   // degrees Celsius
    double vt = 0.0;      // thermal voltage at tdev
    double kp = 0.0, uo = 0.0, is = 0.0, js = 0.0, pbsw = 0.0, cbd = 0.0, cbs = 0.0;
    // Model values the LEVEL 2 and 3 channels read (0 when not given); cox is the oxide
    // capacitance per area held in the TOX slot.
    double nsub = 0.0, nfs = 0.0, xj = 0.0, ld = 0.0, ucrit = 0.0, uexp = 0.0, utra = 0.0, vmax = 0.0,
           neff = 0.0, delta = 0.0, eta = 0.0, cox = 0.0, xd = 0.0;
    // What the LEVEL 3 channel derives from the constants above and the effective size.
    struct Level3Constants {
        double eta = 0.0, ldOverXj = 0.0, xjOverL = 0.0, narrowOverW = 0.0, csonco = 0.0;
    };
    Level3Constants level3;
    // The LEVEL 3 body terms at the bulk voltage of their last evaluation (in the frame of the
    // device's orientation): they depend on that voltage alone, which a bulk tied to the
    // source keeps at 0 through a whole run. Cleared by the run's preparation.
    struct Level3Body {
        bool valid = false;
        double lvbs = 0.0;
        double fbody = 0.0, onfbdy = 0.0, dfbdvb = 0.0, qbonco = 0.0, dqbdvb = 0.0;
        double cdonco = 0.0, dxndvb = 0.0;  // with NFS only
    };
    mutable Level3Body level3Body;
};

struct MosfetLoadValues {
    // Read by every load, a bypassed one too: the voltages of the last evaluation and what it
    // gave.
    double vbs0 = 0.0, vgs0 = 0.0, vds0 = 0.0, vbd0 = 0.0;
    double cd = 0.0, cbs = 0.0, cbd = 0.0;
    double gm = 0.0, gds = 0.0, gmbs = 0.0, gbd = 0.0, gbs = 0.0;
    // Read by the evaluations.
    double vdsat = 0.0, von = 0.0;                   // times TYPE
    double nvt = 0.0, vcrits = 0.0, vcritd = 0.0;
    double isats = 0.0, isatd = 0.0;
    double cbd0 = 0.0, cbs0 = 0.0, cbdsw0 = 0.0, cbssw0 = 0.0;
    double capbd = 0.0, capbs = 0.0;
    double capgb = 0.0, capgd = 0.0, capgs = 0.0;
    double cgsov = 0.0, cgdov = 0.0, cgbov = 0.0;
    double vgs1 = 0.0, vbs1 = 0.0, vds1 = 0.0;
    double vbs2 = 0.0, vgs2 = 0.0, vds2 = 0.0;
    double gd = 0.0, gs = 0.0, gg = 0.0, gb = 0.0;  // series conductances (S)
    double tvto = 0.0;
    double ig = 0.0, id = 0.0, is = 0.0, ib = 0.0;   // terminal currents of LEVEL 4, 5 and 8, or AC real parts
    double igIm = 0.0, idIm = 0.0, isIm = 0.0, ibIm = 0.0;  // AC imaginary parts
    double leff = 0.0, weff = 0.0;
};

}  // namespace kq5
