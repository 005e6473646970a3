#pragma once
// The noise generators of an AC run. When a curve plots ONOISE or INOISE the AC stamping pass
// replaces the circuit's excitation by a unit excitation at the noise output (on the
// transposed matrix), so that the solution at each node is the transfer from a current
// injected there to the output; at every frequency this table lists a current noise density
// (A per root hertz) between two nodes for every noisy element, from which the expression
// engine sums the output noise.
#include <string>
#include <string_view>

#include "core/linked_list.h"

namespace kq5 {

// Physical constants as the noise formulas use them.
inline constexpr double kFourK = 5.5224904e-23;
inline constexpr double kEightK = 1.10449808e-22;
inline constexpr double kTwoQ = 3.2043836e-19;
inline constexpr double kNoiseElectronCharge = 1.6021918e-19;
inline constexpr double kZeroCelsius = 273.15;

// Sizes the table for every generator the present circuit can add (the switches included).
// 0, or 15002.
int AllocateNoiseTable();

// Appends a generator of the density between nodes a and b (0 is ground); nothing when the
// nodes are the same.
void AddNoiseSource(int a, int b, double density);
// Shot plus flicker noise: density sqrt(a0 + kf x / f).
void AddShotFlickerNoise(int a, int b, double a0, double kf, double x, double f);
// The flicker term x = |i| to the power af of m devices in parallel that share the current i:
// each carries i/m and their noise powers add, m (i/m)^af.
double ParallelFlickerPower(double current, double af, double m);

// The thermal noise current density of a conductance g at the temperature in degrees Celsius.
double ThermalNoiseDensity(double conductance, double celsius);

// One family's generators at frequency f (1e-6 when the run's frequency is not above 0).
using NoiseBuilderFn = int (*)(double f);

enum NoiseBuilderSlot : int {
    kNoiseResistors,
    kNoiseSwitches,
    kNoiseDiodes,
    kNoiseBjts,
    kNoiseMosfets,
    kNoiseJfets,
    kNoiseGaasfets,
    kNoiseBuilderCount,
};

// Installs the generators of a family that another part of the program models (the
// semiconductors). A family whose device list holds records but that has no builder makes
// BuildNoiseSources fail with 5368 rather than leave its noise out.
void RegisterNoiseBuilder(NoiseBuilderSlot slot, NoiseBuilderFn builder);

// Refills the table for the present frequency; nothing when noise is off. 0 or a message id.
int BuildNoiseSources();

// The Noise Input limit: the record and the two nodes of the named source part (Pulse, User,
// Sine, ISpice or VSpice). 0, or 15055 after reporting 13530 on the field.
int ReadNoiseInput(std::string_view name, const ListNode*& source, int& first, int& second);
// The Noise Output limit: one node name (measured to ground) or two separated by a comma.
// 0, or 15055 after reporting 13561 for an unknown node.
int ReadNoiseOutput(std::string_view text, int& first, int& second);
// The number of a noise node; -1 after reporting 13561, or when a failure is pending.
int LookupNoiseNode(std::string_view name);

// Empties the table.
void FreeNoiseTable();

}  // namespace kq5
