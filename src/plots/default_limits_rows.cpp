#include "plots/default_limits_rows.h"

#include "app/window_record.h"
#include "document/circuit_document.h"
#include "plots/limits_rows.h"

namespace kq5 {

namespace {

// The curve colours are entries 16 to 25 of the colour table.
constexpr int kFirstCurveColor = 16;
constexpr int kCurveColorCount = 10;

}  // namespace

int CreateDefaultLimitsRows(WindowRecord* record, int analysisKind)
{
    if (record == nullptr || !record->document || analysisKind < 0 || analysisKind >= kAnalysisKindCount) return 0;
    const int count = kDefaultLimitsRowCounts[analysisKind];
    if (int status = SetLimitsRowCount(record, analysisKind, count)) return status;
    std::vector<LimitsRow>& rows = record->document->limitsRows[static_cast<std::size_t>(analysisKind)];
    for (std::size_t i = 0; i < rows.size(); ++i) {
        LimitsRow& row = rows[i];
        row = LimitsRow{};
        row.color = static_cast<std::uint16_t>(kFirstCurveColor + static_cast<int>(i) % kCurveColorCount);
        row.lineWidth = 1;
        row.enabled = 1;
    }
    return 0;
}

void ClearAnalysisLimitsTexts(CircuitDocument& document)
{
    for (std::string& text : document.limits.transient) text.clear();
    for (std::string& text : document.limits.ac) text.clear();
    for (std::string& text : document.limits.dc) text.clear();
}

}  // namespace kq5
