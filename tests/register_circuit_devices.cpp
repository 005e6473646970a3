// Linked into every test binary: the circuit build reaches the device layer only through the
// services the devices register, as the program's start-up does, and a build without them stops.
#include "devices/device_record_types.h"
#include "schematic/schematic_view.h"

namespace {

[[maybe_unused]] const bool g_circuitDevicesRegistered = [] {
    kq5::RegisterCircuitDevices();
    // Document windows are made with the schematic editor's window classes.
    kq5::InstallDocumentWindowClasses();
    return true;
}();

}  // namespace
