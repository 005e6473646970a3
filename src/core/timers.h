#pragma once
// The seconds clock of run and command timing, and the date and time stamps of printouts, plot
// titles and output files.
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

// The option word's bits that put the time and the date into the stamps.
constexpr std::uint32_t kOptionTimeStamp = 0x0800;
constexpr std::uint32_t kOptionDateStamp = 0x1000;

// Seconds on a monotonic clock; only differences are meaningful.
double GetTimeSeconds();

// The current date and time in the short forms of the locale.
std::string FormatLocaleDate();
std::string FormatLocaleTime();

// "Date <date> Time <time>" (labels optional), each part present when its stamp option is on;
// empty with neither. The form that reads the program's option word is in ui/program_settings.h.
std::string FormatDateTimeStamp(bool withLabels, std::uint32_t optionFlags);

}  // namespace kq5
