#pragma once
// The noise generators of the resistors (thermal noise of those that are noise sources) and of
// the switches (thermal noise of their present resistance), at frequency f.
namespace kq5 {

int ResistorNoise(double f);
int SwitchNoise(double f);

}  // namespace kq5
