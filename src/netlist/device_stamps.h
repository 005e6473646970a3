#pragma once
// The stretch of a stamp set's element pool that one device reserved. The set-up pass of a
// device records where its reservations start and how many it made; every load of the device
// stamps exactly that stretch, in the order it was reserved. Because each device holds its own
// stretch, a load that is skipped never shifts the elements of the devices after it.
#include <cstdint>

namespace kq5 {

// Eight bytes: every resistor and capacitor of a large circuit keeps one in its solver table.
struct StampRange {
    std::int32_t first = 0;         // pool index of the first reserved element
    std::uint32_t count : 31 = 0;   // elements reserved
    std::uint32_t reserved : 1 = 0; // the set-up pass has recorded the stretch
};
static_assert(sizeof(StampRange) == 8);

}  // namespace kq5
