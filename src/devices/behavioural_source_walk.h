#pragma once
// The walk of the behavioural sources' loads: every record of a device list in order, with
// its first extra row (output or sensing branch) stored in the record on the way, so that the
// set-up, the loads and the AC stamps read the same row.
#include <cstddef>
#include <type_traits>

#include "analog/device_dispatch.h"
#include "analog/device_dispatch_tables.h"
#include "core/device_lists.h"

namespace kq5 {

// f(device) or f(device, position); stops at the first non-zero result and returns it.
template <class Device, class F>
int ForEachSourceWithRow(int list, F&& f)
{
    std::size_t position = 0;
    for (Device& d : ListRecords<Device>(DeviceList(list))) {
        d.branch = DeviceRow(list, position);
        int rc = 0;
        if constexpr (std::is_invocable_v<F&, Device&, std::size_t>)
            rc = f(d, position);
        else
            rc = f(d);
        ++position;
        if (rc) return rc;
    }
    return 0;
}

// The elements of a controlled source of the kind into the device's own stretch.
inline int ReserveControlledSourceStamps(StampRange& stamps, int kind, int branch, int controlPlus,
                                         int controlMinus, int outputPlus, int outputMinus)
{
    BeginDeviceReservations(stamps);
    if (int rc = ReserveControlledSourceElements(kind, branch, controlPlus, controlMinus, outputPlus, outputMinus))
        return rc;
    EndDeviceReservations(stamps);
    return 0;
}

}  // namespace kq5
