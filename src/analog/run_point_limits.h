#pragma once
// How many points one run may be asked to compute. The point counters of the run loops and the
// point index of the waveform store are 32-bit: a count beyond them cannot run at all and is
// refused. A count far beyond any plot's resolution is most often a typing slip in a limit
// (a step of 1F for 1N), and runs for hours while its points fill memory and disk: the user is
// asked before such a run starts.
namespace kq5 {

inline constexpr double kMaxRunPoints = 2147483647.0;
inline constexpr double kRunPointsWithoutQuestion = 1e8;

// For a run about to compute `points` points, `field` being the limits field that asks for
// them: 0 to go on; 15055 after reporting a count beyond kMaxRunPoints (the field gets the
// focus), or one beyond kRunPointsWithoutQuestion in a batch run, where no one can answer;
// 15056 when the user answered No to the question.
int CheckRunPointCount(int field, double points);

}  // namespace kq5
