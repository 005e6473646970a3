#include "core/timers.h"

#include <chrono>

#include "platform/system.h"

namespace kq5 {

namespace {

constexpr const char* kDateLabel = "Date ";
constexpr const char* kTimeLabel = "Time ";

}  // namespace

double GetTimeSeconds()
{
    // A 64-bit monotonic clock: never wraps, never jumps with the wall clock.
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string FormatLocaleDate()
{
    return win::GetDateFormat(win::LOCALE_USER_DEFAULT, win::DATE_SHORTDATE, nullptr, nullptr);
}

std::string FormatLocaleTime()
{
    return win::GetTimeFormat(win::LOCALE_USER_DEFAULT, 0, nullptr, nullptr);
}

std::string FormatDateTimeStamp(bool withLabels, std::uint32_t optionFlags)
{
    const bool date = (optionFlags & kOptionDateStamp) != 0;
    const bool time = (optionFlags & kOptionTimeStamp) != 0;
    std::string stamp;
    if (date) {
        if (withLabels) stamp += kDateLabel;
        stamp += FormatLocaleDate();
        if (time) stamp += ' ';
    }
    if (time) {
        if (withLabels) stamp += kTimeLabel;
        stamp += FormatLocaleTime();
    }
    return stamp;
}

}  // namespace kq5
