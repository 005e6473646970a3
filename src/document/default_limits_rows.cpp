#include "document/default_limits_rows.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "results/limits_row.h"
#include "document/limits_rows.h"
#include "document/component_types.h"

namespace kq5 {

namespace {

// The curve colours are entries 16 to 25 of the colour table.
constexpr int kFirstCurveColor = 16;
constexpr int kCurveColorCount = 10;
constexpr int kLinePatterns = 8;

// String-table ids of the default limits texts, field i of each kind at base + i.
constexpr int kMsgTransientDefaults = 5300;
constexpr int kMsgAcDefaults = 5310;
constexpr int kMsgDcDefaults = 5320;

const char* const kAuto = "Auto";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsNoCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
    return i == a.size() && !b[i];
}

std::span<std::string> FieldTexts(CircuitDocument& document, int kind, int& defaultsBase)
{
    switch (kind) {
    case kAnalysisTransient: defaultsBase = kMsgTransientDefaults; return document.limits.transient;
    case kAnalysisAc: defaultsBase = kMsgAcDefaults; return document.limits.ac;
    case kAnalysisDc: defaultsBase = kMsgDcDefaults; return document.limits.dc;
    default: return {};
    }
}

// Walks the circuit's nodes for default Y expressions: analog nodes first, then digital nodes;
// in AC each analog node serves two rows (magnitude and phase) and digital nodes none.
class DefaultNodeWalker {
public:
    DefaultNodeWalker(const CircuitDocument& document, int kind)
        : kind_(kind), repeat_(kind == kAnalysisAc ? 2 : 1), counts_(document.analysisNodeCounts)
    {
        for (const NodeNameRow& row : CircuitNodeTable().rows)
            if (row.domain == 0 || row.domain == 1) counts_[static_cast<std::size_t>(row.domain)] =
                std::max(counts_[static_cast<std::size_t>(row.domain)], row.number);
    }

    // The next default expression, or "" when the nodes are exhausted.
    std::string Next()
    {
        while (domain_ < 2) {
            if (domain_ == 1 && kind_ == kAnalysisAc) break;
            const int wanted = counter_ / repeat_ + 1;
            if (wanted > counts_[static_cast<std::size_t>(domain_)]) {
                ++domain_;
                counter_ = 0;
                continue;
            }
            const int use = counter_++;
            const std::string name = NodeName(wanted, domain_);
            if (name.empty()) continue;
            if (domain_ == 1) return StrPrintf("d(%s)", name.c_str());
            if (kind_ != kAnalysisAc) return StrPrintf("v(%s)", name.c_str());
            return StrPrintf(use % 2 == 0 ? "db(v(%s))" : "ph(v(%s))", name.c_str());
        }
        return std::string();
    }

private:
    // From the end of the node table: a name that does not begin with a digit is preferred.
    static std::string NodeName(int number, int domain)
    {
        const auto& rows = CircuitNodeTable().rows;
        std::string found;
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            if (it->number != number || it->domain != domain) continue;
            std::string name = it->WholeName();
            if (name.empty()) continue;
            if (!IsDigit(name[0])) return name;
            if (found.empty()) found = std::move(name);
        }
        return found;
    }

    int kind_;
    int repeat_;
    std::array<std::int32_t, 2> counts_;
    int domain_ = 0;
    int counter_ = 0;
};

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
        row.linePattern = static_cast<int>(i) % kLinePatterns;
    }
    return 0;
}

void ClearAnalysisLimitsTexts(CircuitDocument& document)
{
    for (std::string& text : document.limits.transient) text.clear();
    for (std::string& text : document.limits.ac) text.clear();
    for (std::string& text : document.limits.dc) text.clear();
}

// These belong with the Preferences settings; until the Preferences dialog keeps them, the
// program's defaults stand.
const std::string& DefaultPlotValueFormat()
{
    static const std::string format = "5.3";
    return format;
}

const std::string& DefaultPlotScaleFormat()
{
    static const std::string format = "2";
    return format;
}

bool FillDefaultRowFormats(LimitsRow& row)
{
    bool changed = false;
    auto fill = [&](std::string& text, const std::string& value) {
        if (!text.empty()) return;
        text = value;
        changed = true;
    };
    fill(row.yValueFormat, DefaultPlotValueFormat());
    fill(row.xValueFormat, DefaultPlotValueFormat());
    fill(row.xScaleFormat, DefaultPlotScaleFormat());
    fill(row.yScaleFormat, DefaultPlotScaleFormat());
    return changed;
}

int FillDefaultRowFormats(WindowRecord* circuit, int row)
{
    const int kind = Analysis().analysisKind;
    if (!circuit || !circuit->document || kind < 0 || kind >= kAnalysisKindCount) return 0;
    std::vector<LimitsRow>& rows = circuit->document->limitsRows[static_cast<std::size_t>(kind)];
    if (row < 0 || row >= static_cast<int>(rows.size())) return 0;
    return FillDefaultRowFormats(rows[static_cast<std::size_t>(row)]) ? 1 : 0;
}

// True when the circuit's part of that name is a current source: its sweep is read as a
// current (the voltage of a current source is not a quantity of its own).
bool IsCurrentSourcePart(const CircuitDocument& document, const std::string& name)
{
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList))
        if (item.IsComponent() && ItemComponentType(&item) == kComponentISpice &&
            EqualsNoCase(GetAttributeText(&item, kAttrPart), name.c_str()))
            return true;
    return false;
}

void FillDefaultLimitsRows(WindowRecord* circuit, bool keepExpressions, bool resetRanges, bool refresh)
{
    const int kind = Analysis().analysisKind;
    if (!circuit || !circuit->document || kind < 0 || kind >= kAnalysisKindCount) return;
    CircuitDocument& document = *circuit->document;
    bool changed = false;

    std::string defaultX = kind == kAnalysisTransient ? "T" : "F";
    if (kind == kAnalysisDc) {
        const std::string& input1 = document.limits.dc[kLimitI1];
        const char* quantity = IsCurrentSourcePart(document, input1) ? "i(%s)" : "v(%s)";
        defaultX = !input1.empty() && !EqualsNoCase(input1, "none") ? StrPrintf(quantity, input1.c_str()) : "v(1)";
    }
    int defaultsBase = 0;
    if (!keepExpressions) {
        const std::span<std::string> fields = FieldTexts(document, kind, defaultsBase);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (!fields[i].empty()) continue;
            fields[i] = LoadResString(defaultsBase + static_cast<int>(i));
            changed = true;
        }
    }

    DefaultNodeWalker nodes(document, kind);
    bool exhausted = false;
    for (LimitsRow& row : document.limitsRows[static_cast<std::size_t>(kind)]) {
        const bool wanted = IsDigit(row.plotGroup) || (row.options & (kLimitsOutput | kLimitsUser)) != 0;
        if (wanted && !keepExpressions) {
            if (row.yExpression.empty()) {
                if (!exhausted) row.yExpression = nodes.Next();
                if (row.yExpression.empty()) {
                    // No node is left for this row: it stays out of the plots.
                    exhausted = true;
                    row.plotGroup = 0;
                }
                changed = true;
            }
            if (row.xExpression.empty()) {
                row.xExpression = defaultX;
                changed = true;
            }
            if (FillDefaultRowFormats(row)) changed = true;
        }
        for (std::string* range : {&row.xRange, &row.yRange}) {
            if (range->empty() || (resetRanges && *range != kAuto)) {
                *range = kAuto;
                changed = true;
            }
        }
    }
    if (changed) NoteLimitsChange(circuit);
    if (changed && refresh && LimitsRowsRefresh()) LimitsRowsRefresh()();
}

std::function<void()>& LimitsRowsRefresh()
{
    static std::function<void()> refresh;
    return refresh;
}

void NoteLimitsChange(WindowRecord* circuit)
{
    if (!circuit) return;
    const auto modified = circuit->modified;
    SetRedrawFlags(circuit);
    if (circuit->kind == kWindowTextCircuit) circuit->modified = modified;
}

}  // namespace kq5
