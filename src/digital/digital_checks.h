#pragma once
// Timing checks of flip-flops and latches and the digital warning blocks of the numeric
// output, with the count shown after the run.
#include <cstdint>
#include <string>

namespace kq5 {

enum FlipFlopCheck : int {
    kCheckSetup,         // data (or gate data) setup against the clock edge
    kCheckHold,          // data hold after the clock edge
    kCheckClockLow,      // minimum clock low width
    kCheckClockHigh,     // minimum clock high width
    kCheckRelease,       // preset or clear release before the clock edge
    kCheckControlWidth,  // preset or clear pulse width
    kCheckGateWidth,     // latch gate width
};

// The name a warning gives a digital device: its part name, after the instance path of the
// subcircuit it stands in ("X1.U3"), so that the copies of one part are told apart; empty
// for a device without a part.
std::string DigitalDeviceName(int device);

// Whether checks run now: after the first accepted point, outside the operating point, with
// the run flag on, below DIGERRLIMIT and without NOOUTMSG.
bool DigitalChecksAllowed();

// Checks one flip-flop interval: a violation when now - earlier is below the required value
// of the device's delay selection in the parameter group (0 disables). `input` names the pin
// concerned ("D", "J", "PREB" ...); `clock` is the last clock edge for the hold form.
void CheckFlipFlopTiming(int device, FlipFlopCheck check, std::uint32_t now, std::uint32_t earlier, int group,
                         const char* input, std::uint32_t clock = 0);

// The accepted point: logs emptied, the step's warning blocks written and counted.
int AcceptDigitalPoint();
// The rejected point: the step's warnings dropped and the flip-flop histories put back.
void RejectDigitalPoint();

// After the analysis: message 13260 with the count of warning blocks its cases wrote, when
// there were any (and NOOUTMSG is 0).
void ShowDigitalWarningCount(int count);

}  // namespace kq5
