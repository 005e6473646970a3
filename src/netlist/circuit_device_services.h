#pragma once
// What the circuit build asks of the device layer, which sits above it: the record types of the
// device lists, registered again by every build before it fills them, and the table of labelled
// devices that expressions read, filled from the finished lists and emptied with the run data.
// The device layer fills this table at start-up (RegisterCircuitDevices in
// devices/device_record_types.h): the window program and batch runs in WinMain, every test
// binary before its tests, the benches and fuzz targets in their start-up.
#include <functional>

namespace kq5 {

struct CircuitDeviceServicesTable {
    std::function<void()> registerRecordTypes;  // every device list's record type
    std::function<void()> fillRecordFields;     // the expression engine's table of labelled devices
    std::function<void()> clearRecordFields;    // and its emptying when a build frees its run data
    // Numbers the extra unknowns (branch currents) of the finished device lists after the
    // nodes; the number of unknowns, or negative when memory runs out.
    std::function<int(int nodeCount)> numberDeviceRows;
};
CircuitDeviceServicesTable& CircuitDeviceServices();

// The table for a build. A build without the device layer would make every list with the wrong
// record type and give expressions no devices, so an empty member stops the program with a
// message on the error output instead.
const CircuitDeviceServicesTable& RequiredCircuitDeviceServices();

}  // namespace kq5
