#pragma once
// Transmission lines, ideal (device list 20) and lossy (list 11), and the switches: the Switch
// part (list 14), the voltage-controlled S (list 18) and the current-controlled W (list 16).
#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/device_stamps.h"

namespace kq5 {

struct EvaluatedModel;
struct SchematicItem;

inline constexpr std::uint16_t kKindIdealLine = 27;
inline constexpr std::uint32_t kIdealLineFlags = 32;

// The waves leaving the two ports (port voltage plus Z0 times the port current), recorded at
// an accepted time and stamped with that time plus the delay: the time they arrive.
struct LineHistoryPoint {
    double time = 0.0;
    double w1 = 0.0;
    double w2 = 0.0;
};

struct IdealLineDevice : ListNode {
    EvaluatedModel* model = nullptr;
    std::int32_t port1Plus = 0;   // pin 0
    std::int32_t port1Minus = 0;  // pin 1
    std::int32_t port2Plus = 0;   // pin 2
    std::int32_t port2Minus = 0;  // pin 3
    std::int32_t internal1 = 0;   // one new node per port
    std::int32_t internal2 = 0;
    double delay = 0.0;           // TD
    std::uint32_t flags = kIdealLineFlags;
    StampRange stamps;            // the Z0 resistors, the port shunts and the two source rows
    double wave1[3] = {};         // last recorded w1, its slope and its second derivative
    double wave2[3] = {};
    double delayed1 = 0.0;        // w2 of TD ago: drives the port-1 source
    double delayed2 = 0.0;        // w1 of TD ago: drives the port-2 source
    std::deque<LineHistoryPoint> history;
};

// Slope changes of a lossy line's port values (V1, V2, I1, I2) at neighbouring samples, as
// moments about the block's centre: sum of d, of d (t - centre) and of d (t - centre)^2.
struct LineHistoryBlock {
    double start = 0.0, end = 0.0, centre = 0.0;
    std::array<double, 4> m0{}, m1{}, m2{};
};

struct LossyLineDevice : ListNode {
    EvaluatedModel* model = nullptr;
    SchematicItem* component = nullptr;
    std::int32_t port1Plus = 0;
    std::int32_t port1Minus = 0;
    std::int32_t port2Plus = 0;
    std::int32_t port2Minus = 0;
    LossyLineDevice* nextSharingModel = nullptr;  // next line of the same model
    StampRange stamps;  // the two branch rows and their incidences
    // The port samples of the accepted points of the present transient run (time, V1, V2,
    // I1, I2): the operating point's, then those of about the last delay (older ones live on
    // in the blocks only), and the step responses tabulated for the run.
    std::vector<std::array<double, 5>> samples;
    // The slope changes at every sample but the newest, which the convolution weighs; one
    // block per sample while it is young, gathered into wider blocks as it ages.
    std::vector<LineHistoryBlock> blocks;
    std::vector<double> responseTable;
    double swing = 0.0;         // the largest port voltage of the run so far
    double currentSwing = 0.0;  // and port current, in volts through Z0 (R LEN for an RC line)
    bool cornerAtNewest = false;  // the newest sample sits on a breakpoint
    double historyTime = -1.0;    // the time the history terms below were formed for
    double historyNewest = -1.0;  // and the time of the newest sample then
    double history[2] = {};       // the two rows' history terms
    double present[3] = {};       // coefficients of the present values (self, cross, current)
};

// Switch control modes.
inline constexpr std::int32_t kSwitchTime = 1;
inline constexpr std::int32_t kSwitchVoltage = 2;
inline constexpr std::int32_t kSwitchCurrent = 3;

struct InductorDevice;

struct SwitchDevice : ListNode {
    std::int32_t controlA = 0;  // pin 3
    std::int32_t controlB = 0;  // pin 2
    std::int32_t outputA = 0;   // pin 0
    std::int32_t outputB = 0;   // pin 1
    std::int32_t mode = kSwitchVoltage;
    double threshold1 = 0.0;
    double threshold2 = 0.0;
    double onConductance = 0.0;   // 1/RON
    double offConductance = 0.0;  // 1/ROFF
    InductorDevice* controlInductor = nullptr;  // mode I: the inductor between the control nodes
    SchematicItem* component = nullptr;         // switches name no part; messages show this one
};

struct VoltageSwitchDevice : ListNode {
    EvaluatedModel* model = nullptr;  // VSWITCH
    std::int32_t outputPlus = 0;
    std::int32_t outputMinus = 0;
    std::int32_t controlPlus = 0;
    std::int32_t controlMinus = 0;
};

struct CurrentSwitchDevice : ListNode {
    EvaluatedModel* model = nullptr;  // ISWITCH
    std::int32_t outputPlus = 0;
    std::int32_t outputMinus = 0;
    ListNode* controllingSource = nullptr;  // resolved after the component pass
    SchematicItem* component = nullptr;
};

}  // namespace kq5
