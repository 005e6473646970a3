// Linked into every test binary: the circuit build reaches the device layer only through the
// services the devices register, as the program's start-up does, and a build without them stops.
// The message reporter gets its services from the layers above it the same way.
#include "devices/device_record_types.h"
#include "netlist/message_reporter_services.h"

namespace {

[[maybe_unused]] const bool g_circuitDevicesRegistered = [] {
    kq5::InstallMessageReporterServices();
    kq5::RegisterCircuitDevices();
    return true;
}();

}  // namespace
