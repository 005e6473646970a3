#include "analog/run_point_limits.h"

#include <cmath>
#include <string>

#include "core/analysis_state.h"
#include "core/batch_log.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"

#include "analog/run_control.h"
#include "core/message_reporter.h"
#include "platform/message_box.h"

namespace kq5 {

namespace {

constexpr int kMsgTooManyPoints = 13586;
constexpr int kMsgAskManyPoints = 13587;
constexpr int kMsgManyPointsInBatch = 13588;
constexpr unsigned kYesNoDefaultNo = win::MB_SYSTEMMODAL | win::MB_ICONWARNING | win::MB_YESNO | win::MB_DEFBUTTON2;

}  // namespace

int CheckRunPointCount(int field, double points)
{
    // NaN and infinities come from limits such as a zero step.
    if (!std::isfinite(points) || points > kMaxRunPoints) {
        ReportAnalysisFailure(kFocusLimitsField, field, nullptr, kMsgTooManyPoints, points,
                              static_cast<int>(kMaxRunPoints));
        return kMsgAlreadyReported;
    }
    if (points <= kRunPointsWithoutQuestion) return 0;
    // A batch run has no one to ask: it takes the default answer, No, and the job fails.
    if (BatchErrorLogOpen()) {
        ReportAnalysisFailure(kFocusLimitsField, field, nullptr, kMsgManyPointsInBatch, points,
                              kRunPointsWithoutQuestion);
        return kMsgAlreadyReported;
    }
    const int answer = ReportMessage("WSE", RunControl().analysisWindow, kYesNoDefaultNo, kMsgAskManyPoints, points);
    return answer == win::IDYES ? 0 : kMsgStoppedByUser;
}

}  // namespace kq5
