#pragma once
// The GaAsFET in the analog engine: matrix reservation, Newton load, AC stamp and noise
// generators.

namespace kq5 {

int SetupGaasfetDevices();
int LoadGaasfetDevices();
int AcLoadGaasfets(int pass);
int AddGaasfetNoiseSources(double f);

}  // namespace kq5
