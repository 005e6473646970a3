#pragma once
// Reading and writing the stored points of a curve.
#include <cstdint>

#include "plots/curve_record.h"

namespace kq5 {

// The stored value of point `index` of run `run` (counted from the run's first point);
// 0 outside what was stored.
double WaveformStoreRead(const CurveRecord& curve, int run, int index, int slot = kWaveformY);

// Appends a value to a slot of the curve's store; 0, or 15002 when memory runs out.
int WaveformStoreWrite(CurveRecord& curve, double value, int slot = kWaveformY);

// Replaces the stored value of an absolute point index; nothing outside what was stored.
void WaveformStoreReplace(CurveRecord& curve, std::int32_t pointIndex, double value, int slot = kWaveformY);

// The index of a state character in "0RF1XZ?" (case-blind), -1 when absent.
int DigitalStateIndex(char c);

}  // namespace kq5
