#include "devices/bsim_load_common.h"

#include <cmath>

#include "analog/noise.h"

namespace kq5 {

void AddSeriesResistanceNoise(const MosfetDevice& d, double root)
{
    const MosfetLoadValues& v = d.values;
    AddNoiseSource(d.drain, d.internalDrain, std::sqrt(v.gd) * root);
    AddNoiseSource(d.source, d.internalSource, std::sqrt(v.gs) * root);
    AddNoiseSource(d.gate, d.internalGate, std::sqrt(v.gg) * root);
    AddNoiseSource(d.bulk, d.internalBulk, std::sqrt(v.gb) * root);
}

}  // namespace kq5
