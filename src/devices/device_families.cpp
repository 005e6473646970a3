#include "devices/device_families.h"

#include "devices/ideal_line_load.h"

namespace kq5 {

void RegisterDeviceFamily(const DeviceFamilyHooks& hooks)
{
    RegisterDeviceKindHandlers(hooks.kind, hooks.setup, hooks.load);
    RegisterAcStamper(hooks.acKind, hooks.acStamper);
    if (hooks.noise) RegisterNoiseBuilder(hooks.noiseKind, hooks.noise);
}

void RegisterSemiconductorFamilies()
{
    RegisterDiodeFamily();
    RegisterBjtFamily();
    RegisterJfetFamily();
    RegisterGaasfetFamily();
    RegisterMosfetFamily();
    RegisterLineFamilies();
}

}  // namespace kq5
