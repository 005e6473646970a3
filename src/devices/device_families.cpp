#include "devices/device_families.h"

#include "devices/formula_source_load.h"
#include "devices/ideal_line_load.h"
#include "devices/laplace_source_load.h"
#include "devices/sample_hold_load.h"
#include "devices/table_source_load.h"

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
    RegisterMosLevel8Family();
    RegisterTableSourceFamily();
    RegisterFormulaSourceFamily();
    RegisterSampleHoldFamily();
    RegisterLaplaceSourceFamilies();
    RegisterLineFamilies();
}

}  // namespace kq5
