#pragma once
// The JFET in the analog engine: matrix reservation, Newton load, AC stamp and noise
// generators; and the small-signal stamp shared by the JFET and the GaAsFET.

#include <array>
#include <complex>
#include <utility>
#include <vector>

namespace kq5 {

struct JfetDevice;

int SetupJfetDevices();
int LoadJfetDevices();
int AcLoadJfets(int pass);
int AddJfetNoiseSources(double f);

// The channel current of the square law and its derivatives at vgs, vgd (device frame).
struct JfetChannel {
    double cdrain = 0.0, gm = 0.0, gds = 0.0;
};
JfetChannel JfetChannelCurrent(const JfetDevice& j, double vgs, double vgd);

// The small-signal FET: nodes G, G' (internal gate), D, D', S, S' and its conductances and
// susceptances. 0 or the first failing stamp's result.
struct FetSmallSignal {
    double ggr = 0.0, gdpr = 0.0, gspr = 0.0, gm = 0.0, gds = 0.0, ggs = 0.0, ggd = 0.0;
    double xgs = 0.0, xgd = 0.0, xds = 0.0;
};
int AcStampFetCore(int g, int gi, int d, int di, int s, int si, const FetSmallSignal& v);
// The drain, gate and source AC currents of a FET from its small-signal values.
std::array<std::complex<double>, 3> FetAcCurrents(int gi, int di, int si, const FetSmallSignal& v);

// What the JFET and GaAsFET loads share: a gate diode (current c and conductance g at v), the
// reservation of the series resistances (each present one three elements) and the nine core
// elements, and the stamp of the same elements through a cursor (ggr, gdpr, gspr, gm, gds, ggs,
// ggd of the small-signal values).
struct JfetValues;
// The gate voltages a FET load starts from in the present iteration mode (internal gate,
// drain and source nodes; the initial values of an initial-condition start). True when they
// come from a solution and are to be limited and tested; the predictor step also stores the
// voltages of the last accepted point.
struct FetStart {
    int gate, drain, source;
    double polarity;
    bool off, icStart;
    double icVgs, icVds;
};
bool FetStartVoltages(const FetStart& f, JfetValues& stored, double& vgs, double& vgd);
// The gate and drain currents predicted from the stored point at new gate voltages, and
// whether the FET may keep that point (its voltages and predictions settled).
bool FetPointSettled(const JfetValues& stored, double vgs, double vgd, double& cghat, double& cdhat);
void FetGateDiode(double v, double is, double vt, double gmin, double& c, double& g);
void ReserveFetElements(int gx, int g, int dx, int d, int sx, int s, bool gate, bool drain, bool source,
                        std::vector<std::pair<int, int>>& elements);
class StampCursor;
void StampFetCore(StampCursor& c, const FetSmallSignal& v);

}  // namespace kq5
