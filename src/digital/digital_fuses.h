#pragma once
// The fuse maps of the programmable-logic arrays: a JEDEC-style fuse file (QF, F, L and K
// fields) or the part's DATA attribute, read into one byte per fuse (1 intact, 0 blown).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/digital_node_states.h"

namespace kq5 {

struct ProgrammableLogicRecord : DigitalDeviceRecord {
    int firstDevice = 0;
    std::vector<std::uint8_t> fuses;
};

// Inputs times outputs, doubled for the complement forms.
int FuseCount(int inputs, int outputs, bool complement);

// A message of the fuse readers: its id and the argument its text takes (%d or %c).
struct FuseError {
    int id = 0;
    int number = 0;   // an address
    char letter = 0;  // an illegal digit
    int line = 0;     // the file's line of the field
};

// The fuse file's text into exactly `fuseCount` fuses. A QF other than the part's fuse count
// is refused: fewer fuses would leave rows unread, more would be written past the array.
FuseError ReadFuseFile(std::string_view text, int fuseCount, std::vector<std::uint8_t>& fuses);
// The DATA attribute ("B$...$", "O$...$", "X$...$"): bits from fuse 0 on, 1 intact; digits
// past the last fuse are refused (13240).
FuseError ReadFuseData(std::string_view data, int fuseCount, std::vector<std::uint8_t>& fuses);

}  // namespace kq5
