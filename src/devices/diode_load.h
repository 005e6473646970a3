#pragma once
// The junction diode in the analog engine: matrix reservation, Newton load, AC stamp and
// noise generators.

namespace kq5 {

struct DiodeDevice;

struct DiodeJunctionPoint {
    double id = 0.0;
    double gd = 0.0;
};

// The current and conductance of the junction at vd, GMIN included (the record supplies the
// model, area and thermal voltage).
DiodeJunctionPoint DiodeJunctionCurrent(const DiodeDevice& d, double vd, double gmin);

int SetupDiodes();
int LoadDiodes();
int AcLoadDiodes(int pass);
int AddDiodeNoiseSources(double f);

}  // namespace kq5
