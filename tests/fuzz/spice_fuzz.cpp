// The SPICE reader with the whole circuit build after it: a text circuit window holds the input
// as its netlist and is built for one analysis (chosen by the input's length, so that the seeds
// stay plain netlists).
#include <memory>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "fuzz_support.h"
#include "netlist/circuit_build.h"
#include "results/curve_record.h"

using namespace kq5;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ResetFuzzWorld();
    WindowRecord* record = NewWindowRecord(nullptr, kWindowTextCircuit, true);
    record->plot = std::make_shared<PlotRecord>();
    record->title = fuzz::ScratchDir() + "circuit.cir";
    record->textArea = std::string(fuzz::AsText(data, size));
    SetCurrentDocument(record);
    constexpr AnalysisKind kKinds[] = {kAnalysisTransient, kAnalysisAc, kAnalysisDc};
    Analysis().analysisKind = kKinds[size % 3];
    BuildCircuit(kBuildForAnalysis);
    FreeBuiltCircuit(0xFF);
    fuzz::ResetFuzzWorld();
    return 0;
}
