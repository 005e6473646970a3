// Linked into every test binary: the circuit build reaches the device layer only through the
// services the devices register, as the program's start-up does, and a build without them stops.
// The message reporter gets its services from the layers above it the same way, and the file
// units read a file open in a text window from the window, as in the program.
#include "devices/device_record_types.h"
#include "netlist/message_reporter_services.h"
#include "netlist/text_window_lines.h"
#include "schematic/schematic_view.h"

namespace {

[[maybe_unused]] const bool g_circuitDevicesRegistered = [] {
    kq5::InstallMessageReporterServices();
    kq5::RegisterCircuitDevices();
    kq5::InstallTextWindowFiles();
    // Document windows are made with the schematic editor's window classes.
    kq5::InstallDocumentWindowClasses();
    return true;
}();

}  // namespace
