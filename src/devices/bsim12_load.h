#pragma once
// The LEVEL 4 (BSIM1) and LEVEL 5 (BSIM2) MOSFETs in the analyses. Their AC stamps and noise
// generators are reached through the MOSFET family's (src/devices/mosfet_ac.cpp).
namespace kq5 {

struct MosfetDevice;

int SetupMosLevel45();
int LoadMosLevel45();
int AcLoadMosLevel45(int pass);
// The noise generators of a LEVEL 4 or 5 device at frequency f and temperature kelvin; false
// for a device of another level.
bool AddMosLevel45NoiseSources(const MosfetDevice& d, double f, double kelvin);
void RegisterMosLevel45Family();

}  // namespace kq5
