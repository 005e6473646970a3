#include "analyses/stepping_rows.h"

namespace kq5 {

SteppingRowsState& SteppingRows()
{
    static SteppingRowsState state;
    return state;
}

void ResetSteppingRowsForTests() { SteppingRows() = SteppingRowsState{}; }

}  // namespace kq5
