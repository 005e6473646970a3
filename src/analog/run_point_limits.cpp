#include "analog/run_point_limits.h"

#include <cmath>
#include <string>

#include "analog/analysis_state.h"
#include "analog/batch_log.h"
#include "app/window_record.h"
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

// The text of the field in the limits of the analysis being run, shown with the message.
std::string FieldText(int field)
{
    const WindowRecord* circuit = RunControl().circuitWindow;
    if (!circuit || !circuit->document || field < 0) return {};
    const AnalysisLimits& limits = circuit->document->limits;
    const auto pick = [field](const auto& texts) {
        return static_cast<std::size_t>(field) < texts.size() ? texts[static_cast<std::size_t>(field)] : std::string();
    };
    switch (Analysis().analysisKind) {
    case kAnalysisTransient: return pick(limits.transient);
    case kAnalysisAc: return pick(limits.ac);
    case kAnalysisDc: return pick(limits.dc);
    default: return {};
    }
}

}  // namespace

int CheckRunPointCount(int field, double points)
{
    // NaN and infinities come from limits such as a zero step.
    if (!std::isfinite(points) || points > kMaxRunPoints) {
        const std::string text = FieldText(field);
        ReportAnalysisFailure(kFocusLimitsField, field, text.c_str(), kMsgTooManyPoints, points,
                              static_cast<int>(kMaxRunPoints));
        return kMsgAlreadyReported;
    }
    if (points <= kRunPointsWithoutQuestion) return 0;
    // A batch run has no one to ask: it takes the default answer, No, and the job fails.
    if (BatchErrorLogOpen()) {
        const std::string text = FieldText(field);
        ReportAnalysisFailure(kFocusLimitsField, field, text.c_str(), kMsgManyPointsInBatch, points,
                              kRunPointsWithoutQuestion);
        return kMsgAlreadyReported;
    }
    const int answer = ReportMessage("WSE", RunControl().analysisWindow, kYesNoDefaultNo, kMsgAskManyPoints, points);
    return answer == win::IDYES ? 0 : kMsgStoppedByUser;
}

}  // namespace kq5
