#include "analog/device_run_services.h"

namespace kq5 {

DeviceRunServices& DeviceServices()
{
    static DeviceRunServices services;
    return services;
}

}  // namespace kq5
