#include "netlist/circuit_device_services.h"

#include <cstdio>
#include <cstdlib>

namespace kq5 {

CircuitDeviceServicesTable& CircuitDeviceServices()
{
    static CircuitDeviceServicesTable table;
    return table;
}

const CircuitDeviceServicesTable& RequiredCircuitDeviceServices()
{
    const CircuitDeviceServicesTable& table = CircuitDeviceServices();
    if (!table.registerRecordTypes || !table.fillRecordFields || !table.clearRecordFields ||
        !table.numberDeviceRows) {
        std::fputs("kq5: the circuit build has no device layer: RegisterCircuitDevices was never called "
                   "at start-up\n",
                   stderr);
        std::abort();
    }
    return table;
}

}  // namespace kq5
