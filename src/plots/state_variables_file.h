#pragma once
// The state variables file: a binary snapshot of the whole simulator state (solution vectors,
// integration histories, core and device states, digital node states, pending events and the
// step history), written by the State Variables editor and read by it and by a run whose State
// Variables option is "Read". Version 2: a word 2, the image length L, the image.
#include <cstdint>
#include <string>
#include <vector>

namespace kq5 {

struct WindowRecord;

inline constexpr std::uint32_t kStateFileVersion = 2;
inline constexpr int kMsgObsoleteStateFile = 13657;
// Events kept in one file at most: a count beyond it cannot come from a run of this program.
inline constexpr std::uint32_t kMaxStateFileEvents = 1u << 24;

// The file of the circuit window: its title with the extension "TOP".
std::string StateVariablesFileName(const WindowRecord* circuit);

// The image of the present state, and the length an image of the present circuit has with
// `events` saved events (0 when the length does not fit 32 bits).
std::vector<std::uint8_t> BuildStateImage();
std::uint64_t ExpectedStateImageLength(std::uint64_t events);

// write 1 writes the file of the current circuit from the simulator's state, 0 reads it into
// the state. 0, 15002, 15055 (13657 reported) or 16000 + the error number.
int ReadWriteStateVariablesFile(int write);
int WriteStateVariablesFile(const std::string& path);
int ReadStateVariablesFile(const std::string& path, WindowRecord* reportTo);

// Zero entries 1 on of the time-step history take the largest of them (the largest allowed step
// when all are zero).
void RepairStepHistory();

}  // namespace kq5
