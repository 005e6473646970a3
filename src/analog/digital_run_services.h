#pragma once
// What the run loops ask of the digital simulator: its start, its events at a point, the
// interfaces after an accepted point, the rejected point and the warning count of the analysis.
// The digital simulator fills the members when it is installed (InstallDigitalSimulator); a run
// only calls them when the built circuit has digital devices, which that installation makes.
#include <cstdint>
#include <functional>

namespace kq5 {

inline constexpr int kMsgDigitalNoConvergence = 14190;

struct DigitalRunServicesState {
    // The digital parts from their first states and stimulus values at tmin; 0 or a message id.
    std::function<int(double tmin)> startRun;
    // The D-to-A outputs at the time and the digital events due at the tick; 0, a message id,
    // or kMsgDigitalNoConvergence.
    std::function<int(double time, std::uint32_t tick)> processEvents;
    // The interfaces follow the accepted point, then its logs are closed; 0 or a message id.
    std::function<int(double time, bool operatingPoint, std::uint32_t tick)> acceptPoint;
    // Whether acceptPoint changed digital states (an AtoD read a new level at the point).
    std::function<bool()> acceptChangedStates;
    // The rejected point: its warnings dropped and the flip-flop histories put back.
    std::function<void()> rejectPoint;
    std::function<void()> resetChangeLog;
    // After the analysis: the count of warning blocks its cases wrote.
    std::function<void(int count)> showWarningCount;
};

DigitalRunServicesState& DigitalRunServices();

// Starts the digital parts of the run (startRun); 0 when there are none to start.
int StartDigitalParts(double tmin);

}  // namespace kq5
