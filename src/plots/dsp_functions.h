#pragma once
// The whole-curve Fourier functions of plot expressions (FFT, IFT, HARM, CONJ, PSD, CMUL, CS, CC,
// AS, AC, COH, THD and the whole-curve RE, IM, MAG, PH, SUM, DEL, RMS, AVG), each applied to N uniformly spaced
// complex samples, and the choice of N and of the sampling grid.
#include <span>

namespace kq5 {

// The sampling of one DSP pass: N points dt apart in time, df apart in frequency.
struct DspGrid {
    int n = 0;
    double dt = 0.0;
    double df = 0.0;
};

inline constexpr int kDspMinPoints = 64;
inline constexpr int kDspMaxPoints = 262144;

// One complex array: real and imaginary parts of N samples.
struct DspArray {
    std::span<double> re;
    std::span<double> im;
};

// The operation of the given operation code on a, in place, with b the second operand (or a
// scratch array of the same size for one-operand codes). The whole-curve SUM, DEL, RMS and AVG
// run along axis, the X values the result is shown against (the frequency grid when it is
// empty). Codes without a whole-curve meaning leave a as it is. 0, 15002, or the transform's
// refusal of a bad N.
int ApplyDspFunction(const DspGrid& grid, int code, DspArray a, DspArray b, std::span<const double> axis = {});

// CS, CC, AS and AC of x (with y for CS and CC; AS and AC use y as scratch): the result
// replaces x.
int PowerOrCorrelation(const DspGrid& grid, int code, DspArray x, DspArray y);

// Whether the operation takes two operands from the pass's stack (THD takes its fundamental
// as the second; with one argument it is given none and uses bin 1).
bool DspCodeTakesTwoOperands(int code);

// N when the user leaves it to the program: the power of two nearest to the stored point span
// (a tie keeps the smaller), kept within 64 .. 262144.
int NearestDspPointCount(int storedSpan);
// N from the user's text value: truncated, at most 262144, 64 when 64 or less.
int ClampDspPointCount(double value);

}  // namespace kq5
