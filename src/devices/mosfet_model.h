#pragma once
// MOSFET models of LEVEL 1 to 3 (NMOS and PMOS rows): the model passes of the circuit
// temperature set-up, the per-run preparation of every instance at its device temperature,
// and the small helpers the MOSFET levels share.
#include <cstddef>
#include <span>
#include <vector>

#include "netlist/fet_devices.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

struct MosfetDevice;
struct SchematicItem;

// Positions in the NMOS/PMOS parameter table and its derived slots.
namespace mosp {
inline constexpr int kLevel = 0, kVto = 1, kKp = 2, kL = 3, kW = 4, kGamma = 5, kPhi = 6, kLambda = 7, kRd = 8,
                     kRs = 9, kCbd = 10, kCbs = 11, kIs = 12, kPb = 13, kCgso = 14, kCgdo = 15, kCgbo = 16,
                     kRsh = 17, kCj = 18, kMj = 19, kCjsw = 20, kMjsw = 21, kJs = 22, kTox = 23, kNsub = 24,
                     kNss = 25, kNfs = 26, kTpg = 27, kXj = 28, kLd = 29, kWd = 30, kUo = 31, kUcrit = 32,
                     kUexp = 33, kUtra = 34, kVmax = 35, kNeff = 36, kXqc = 37, kKf = 38, kAf = 39, kFc = 40,
                     kDelta = 41, kTheta = 42, kEta = 43, kKappa = 44, kRg = 45, kRb = 46, kRds = 47,
                     kJssw = 48, kN = 49, kPbsw = 50, kTt = 51, kTMeasured = 52, kTAbs = 53, kTRelGlobal = 54,
                     kTRelLocal = 55, kTdev = 56, kVtdev = 57, kType = 58, kVbi = 60, kXd = 61;
}

// A model value; 0 for a slot the array does not hold or a value that was not given. Inline:
// the loads read it many times per device and iteration.
inline double MosParam(const EvaluatedModel& model, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= model.params.size()) return 0.0;
    const float value = model.params[static_cast<std::size_t>(index)];
    return IsParamNotGiven(value) ? 0.0 : value;
}

// True for a device of the LEVEL 1 to 3 rows (the others are LEVEL 4, 5 and 8). Inline: every
// load walk asks it of every device.
inline bool IsMosLevel123(const MosfetDevice& device)
{
    if (device.side) return device.side->level < 4;
    return device.model && (device.model->row == kModelNmos || device.model->row == kModelPmos);
}
// +1 for NMOS, -1 for PMOS.
double MosPolarity(const MosfetDevice& device);
// The channel code: the model's LEVEL truncated (1, 2 or 3).
int MosChannelLevel(const MosfetDevice& device);

// ---- helpers --------------------------------------------------------------------------
// g when positive, else gsh / n when n is positive, else 0.
double SeriesConductance(double g, double gsh, double n);
// sqrt(x) for x > 0; 0.001 otherwise, recording one negative-potential warning per model
// (at tk - 273.15 degrees) for x < 0.
double SqrtWithParamWarning(double x, double tk, int statementIndex);

struct JunctionCapsAtTemperature {
    double pb = 0.0, pbsw = 0.0, cbd = 0.0, cbs = 0.0, cj = 0.0, cjsw = 0.0;
};
// The junction potentials and zero-bias capacitances at tk from those at tnomk (kelvin),
// tref being the reference temperature of the band-gap laws.
JunctionCapsAtTemperature AdjustJunctionCapsForTemperature(const JunctionCapsAtTemperature& nominal, double mj,
                                                           double mjsw, double tref, double tnomk, double tk,
                                                           double pbfact, double pbfact1, double fact1);
// A junction potential that a temperature law took to zero or below is held at a millivolt,
// recording one negative-potential warning per model (tk in kelvin).
double HeldPotential(double pb, int statementIndex, double tk);
// 0 for a positive effective length or width; else reports it for the part and gives 15055.
int CheckPositiveLength(SchematicItem* part, double value);

// ---- passes ---------------------------------------------------------------------------
void PrepareMosModelsAtTemp(int modelType);
void ConvertMosModelUnits(int modelType);
// Instance geometry and series conductances of every MOSFET; the per-instance values of every
// LEVEL 1 to 3 device at its temperature (t in degrees Celsius). 0, or 15055 after reporting a
// device whose effective channel length or width is not positive.
void PrepareMosInstanceGeometry();
int PrepareMosLevel123AtTemperature(double t);

// True while an AC analysis keeps the operating point of its last run: the orientation and
// operating values of every MOSFET are then those of that point, which the small-signal stamps
// and the operating point report read, and the per-run preparation leaves them alone.
bool KeepsMosOperatingValues();
// The orientation (normal) and the operating values a family's load starts from.
void ResetMosOperatingValues(MosfetDevice& device);
// The same for every MOSFET: an AC run that computes its operating point again starts from them.
void ResetAllMosOperatingValues();

}  // namespace kq5
