#pragma once
// The MOSFETs of LEVEL 1 to 3 in the Newton iterations: set-up of their 32 matrix elements,
// the load (voltages, limiting, bulk junctions, channel, charges, convergence, stamps), the
// channel evaluators of the three levels, the commit of an accepted point, and the AC stamps
// and noise generators that read what the load left.
#include <cstdint>

namespace kq5 {

struct MosfetDevice;

// The channel of one evaluation, in the polarity-normalised frame of the device's present
// orientation: the current is not multiplied by MODE or TYPE; von and vdsat are untyped.
struct MosChannel {
    double cdrain = 0.0, gm = 0.0, gds = 0.0, gmbs = 0.0, von = 0.0, vdsat = 0.0;
};

// The evaluators, all with the polarity-normalised branch voltages of the internal nodes (not
// exchanged for reversed mode) and the device's MODE already set to the new orientation.
MosChannel EvaluateMosLevel1(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d);
MosChannel EvaluateMosLevel2(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d);
MosChannel EvaluateMosLevel3(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d);
// Derives the constants of the LEVEL 3 channel of a prepared device.
void PrepareMosLevel3Constants(MosfetDevice& d);
// The evaluator of the device's channel level (zero current for an unknown level).
MosChannel EvaluateMosChannel(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d);

// Bulk junction charge and capacitance of one junction (drain or source side) at v.
struct MosJunctionCharge {
    double charge = 0.0, capacitance = 0.0;
};
MosJunctionCharge MosJunctionChargeAt(const MosfetDevice& d, bool drainSide, double v);

// The epoch of the present load pass. A new one begins with every new time point, prediction,
// iteration mode or integration, and with every set-up and accepted point; a bypassed device
// whose last load was made in the present epoch may add again what that load added.
std::uint64_t MosfetLoadEpoch();

int SetupMosLevel123();
int LoadMosLevel123();
// After an accepted point: the voltage history moves one point back (and, in time steps, the
// Meyer capacitances into their previous values).
void ShiftMosfetHistory(bool timeSteps);
// The reported quantities of the LEVEL 1 to 3 devices that time points' loads left unwritten
// (nothing read them), from each device's last load.
void WriteBehindMosfetReports();

int AcLoadMosfets(int pass);
int AddMosfetNoiseSources(double f);
// The noise generators of a LEVEL 8 device at frequency f and temperature kelvin.
int AddBsimNoiseSources(const MosfetDevice& d, double f, double kelvin);

}  // namespace kq5
