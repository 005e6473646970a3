#include "document/stepping_rows.h"

#include "core/char_classes.h"
#include "document/circuit_document.h"

namespace kq5 {

SteppingRowsState& SteppingRows()
{
    static SteppingRowsState state;
    return state;
}

void ClearSteppingRows() { SteppingRows() = SteppingRowsState{}; }

void ResetSteppingRowsForTests() { ClearSteppingRows(); }

std::array<double, kSteppingRowCount> CaseSteppedValues()
{
    std::array<double, kSteppingRowCount> values{};
    const SteppingRowsState& s = SteppingRows();
    if (!s.active) return values;
    for (int i = 0; i < kSteppingRowCount; ++i)
        if (s.rows[static_cast<std::size_t>(i)].active) values[static_cast<std::size_t>(i)] = s.rows[static_cast<std::size_t>(i)].caseValue;
    return values;
}

bool SteppedSymbolValue(std::string_view name, double& value)
{
    const SteppingRowsState& s = SteppingRows();
    if (!s.active) return false;
    for (const SteppingRow& row : s.rows) {
        if (!row.active || !(row.typeBits & kStepSymbolic)) continue;
        if (!EqualsNoCase(row.name, name)) continue;
        value = row.caseValue;
        return true;
    }
    return false;
}

}  // namespace kq5
