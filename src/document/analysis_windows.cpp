#include "document/analysis_windows.h"

#include <new>

#include "core/char_classes.h"

namespace kq5 {

const std::array<std::string_view, kPerformanceFunctionCount> kPerformanceFunctionTable = {
    "Rise_Time", "Fall_Time", "Peak",    "Valley",  "Peak_Valley", "Period",  "Frequency", "Width",
    "High",      "Low",       "X_Level", "Y_Level", "X_Delta",     "Y_Delta", "X_Range",   "Y_Range",
};

int FindPerformanceFunction(std::string_view name)
{
    for (int i = 0; i < kPerformanceFunctionCount; ++i) {
        if (EqualsNoCase(kPerformanceFunctionTable[static_cast<std::size_t>(i)], name)) return i;
    }
    return kNoPerformanceFunction;
}

std::string_view PerformanceFunctionName(int index)
{
    if (index < 0 || index >= kPerformanceFunctionCount) return {};
    return kPerformanceFunctionTable[static_cast<std::size_t>(index)];
}

namespace {

void FreeView(DerivedWindowView& view)
{
    view.title.clear();
    ListClear(view.plot.objects);
    ListClear(view.plot.undoObjects);
    view.plot.curves.clear();
}

template <class T>
T* AppendWindow(std::array<LinkedList, kAnalysisKindCount>& lists, int analysisKind, std::uint16_t listKind)
{
    if (analysisKind < 0 || analysisKind >= kAnalysisKindCount) return nullptr;
    LinkedList& list = lists[static_cast<std::size_t>(analysisKind)];
    if (list.factory == nullptr) list.factory = &NewListRecord<T>;
    ListNode* node = ListAppend(list, listKind);
    T* record = dynamic_cast<T*>(node);
    // A list set up with another record type must not be handed back as this one.
    if (node != nullptr && record == nullptr) ListRemove(list, node);
    return record;
}

}  // namespace

std::shared_ptr<PlotRecord> PerformanceWindowRecord::SharedPlot()
{
    if (!plotAnchor) plotAnchor = std::make_shared<char>(0);
    return std::shared_ptr<PlotRecord>(plotAnchor, &view.plot);
}

void PerformanceWindowRecord::FreeOwnedData()
{
    FreeView(view);
    functions.clear();
}

void Graph3DPlot::FreeOwnedData()
{
    FreeView(view);
    function = FunctionRecord{};
    surface = Graph3DSurface{};
}

void MonteCarloWindowRecord::FreeOwnedData()
{
    FreeView(view);
    format.clear();
    function = FunctionRecord{};
}

PerformanceWindowRecord* AppendPerformanceWindow(CircuitDocument& document, int analysisKind)
{
    return AppendWindow<PerformanceWindowRecord>(document.performanceWindows, analysisKind, kKindPerformanceWindow);
}

Graph3DPlot* AppendGraph3DWindow(CircuitDocument& document, int analysisKind)
{
    return AppendWindow<Graph3DPlot>(document.graph3DWindows, analysisKind, kKindGraph3DWindow);
}

MonteCarloWindowRecord* AppendMonteCarloWindow(CircuitDocument& document, int analysisKind)
{
    return AppendWindow<MonteCarloWindowRecord>(document.monteCarloWindows, analysisKind, kKindMonteCarloWindow);
}

int AppendPerformanceFunctionRecord(PerformanceWindowRecord& window)
{
    try {
        FunctionRecord& record = window.functions.emplace_back();
        // A new function measures with the table's first defaults in the next curve colour.
        // (one character assigned, not a literal: GCC 12 misreads the literal copy as overlapping)
        record.boolean.assign(1, '1');
        record.args = {1.0, 1.0, 2.0};
        record.plotNumber = 1;
        record.color = static_cast<std::uint8_t>(kFirstCurveColorIndex + (window.functions.size() - 1) % kCurveColorSlots);
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    return 0;
}

}  // namespace kq5
