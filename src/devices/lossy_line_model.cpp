// The checks of the lossy-line models at every run: missing per-length values are zero, the
// length must be positive, and the line must be one of the kinds the simulator models.
#include <set>

#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "netlist/line_switch_devices.h"
#include "devices/model_temperature.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

constexpr int kMsgUnsupportedLine = 14181;
constexpr int kMsgLengthMissing = 14183;
constexpr int kMsgTooFewValues = 14185;
constexpr int kMsgNegativeValue = 14186;
constexpr int kMsgReported = 15055;

enum LossyParam { kLossyR = 4, kLossyL = 5, kLossyG = 6, kLossyC = 7, kLossyLen = 8 };

// 0, or why a line of these per-length values cannot be simulated.
int ClassifyLossyLine(float r, float l, float g, float c)
{
    // A negative value has no line to describe: its responses would grow without bound.
    if (r < 0.0f || l < 0.0f || g < 0.0f || c < 0.0f) return kMsgNegativeValue;
    const int given = (r != 0.0f) + (l != 0.0f) + (g != 0.0f) + (c != 0.0f);
    if (given < 2) return kMsgTooFewValues;
    // RLC, RC, LC and RG lines have closed-form responses; a conductance with any reactance,
    // or an RL line, has none here.
    if (g != 0.0f && (c != 0.0f || l != 0.0f)) return kMsgUnsupportedLine;
    if (r != 0.0f && c == 0.0f && l != 0.0f) return kMsgUnsupportedLine;
    return 0;
}

}  // namespace

int CheckLossyLineModels()
{
    std::set<const EvaluatedModel*> checked;
    for (LossyLineDevice& line : ListRecords<LossyLineDevice>(DeviceList(kLossyLineDeviceList))) {
        EvaluatedModel* model = line.model;
        if (!model || model->params.size() <= kLossyLen || !checked.insert(model).second) continue;
        std::vector<float>& p = model->params;
        for (int i : {kLossyR, kLossyL, kLossyG, kLossyC})
            if (IsParamNotGiven(p[static_cast<std::size_t>(i)])) p[static_cast<std::size_t>(i)] = 0.0f;
        // A negative length would give a negative delay, which no step can reach.
        const float length = p[kLossyLen];
        if (IsParamNotGiven(length) || !(length > 0.0f)) {
            ReportMessage("WNE", CurrentRecord(), line.component, kMsgLengthMissing);
            return kMsgReported;
        }
        if (int rc = ClassifyLossyLine(p[kLossyR], p[kLossyL], p[kLossyG], p[kLossyC])) return rc;
    }
    return 0;
}

}  // namespace kq5
