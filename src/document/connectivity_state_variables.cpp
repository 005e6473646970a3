// State variables read in before a run go into the solution the run starts from. The rows come
// from a file, so every index is checked against the circuit that was actually built.
#include "core/analysis_state.h"
#include "document/stored_state_variables.h"
#include "core/digital_logic_tables.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"

namespace kq5 {

namespace {

bool InRange(std::int64_t index, std::size_t size) { return index >= 0 && static_cast<std::uint64_t>(index) < size; }

}  // namespace

int ApplyStoredStateVariables()
{
    const StoredStateVariables& stored = StoredStates();
    if (!stored.read || !stored.toBeUsed) return 0;
    std::vector<double>& solution = Analysis().solution.real;
    DigitalSimulatorState& digital = DigitalSimulator();
    const CircuitDocument* document = CurrentDocument();
    int skipped = 0;
    for (const StoredStateVariable& row : stored.rows) {
        switch (row.letter) {
        case 'D': {
            const std::int64_t node = row.node;
            if (!InRange(node, digital.current.size()) || !InRange(node, digital.previous.size()) ||
                !InRange(node, digital.scheduled.size())) {
                ++skipped;
                break;
            }
            const auto state = static_cast<std::uint16_t>(row.state | kFullStrength);
            digital.current[static_cast<std::size_t>(node)] = state;
            digital.previous[static_cast<std::size_t>(node)] = state;
            digital.scheduled[static_cast<std::size_t>(node)] = state;
            break;
        }
        case 'I': {
            const std::int64_t index =
                document ? static_cast<std::int64_t>(document->analysisNodeCounts[0]) + row.inductorBranch : -1;
            if (!document || row.inductorBranch < 0 || !InRange(index, solution.size())) {
                ++skipped;
                break;
            }
            solution[static_cast<std::size_t>(index)] = row.value;
            break;
        }
        case 'V':
            if (!InRange(row.node, solution.size()) || !InRange(row.secondNode, solution.size())) {
                ++skipped;
                break;
            }
            solution[static_cast<std::size_t>(row.node)] = row.value;
            solution[static_cast<std::size_t>(row.secondNode)] = 0.0;
            break;
        default:
            break;
        }
    }
    return skipped;
}

}  // namespace kq5
