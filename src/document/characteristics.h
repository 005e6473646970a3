#pragma once
// The Characteristics dialog of a circuit window: the colours of its parts and its text font.
#include <array>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

constexpr int kCharacteristicsTemplate = 17220;
constexpr int kCharacteristicsList = 207;
constexpr int kCharacteristicsFont = 22;
constexpr int kCharacteristicsTest = 203;
constexpr int kCharacteristicsEntries = 12;

// The Characteristics dialog of a schematic or text window's record: 1 confirmed, 0 cancelled.
int RunCharacteristicsDialog(WindowRecord* record, win::HWND parent = nullptr);
// Entries 0 to 2 for any window, 3 to 11 for a schematic window.
void StoreCharacteristicsColors(WindowRecord* record, const std::array<int, kCharacteristicsEntries>& colors);
std::array<int, kCharacteristicsEntries> ReadCharacteristicsColors(const WindowRecord* record);

}  // namespace kq5
