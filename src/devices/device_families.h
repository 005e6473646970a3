#pragma once
// How a semiconductor device family plugs into the analog engine.
//
// The engine walks its device kinds in a fixed order (DeviceKindSlot, AcStamperSlot,
// NoiseBuilderSlot); every kind registers itself here when the circuit device record types are
// registered (RegisterCircuitDeviceRecordTypes calls RegisterLinearDeviceKinds,
// RegisterDeviceRunServices and RegisterSemiconductorFamilies), so no record type exists
// without its handlers.
//
// A family provides, in its own files (e.g. diode_load.cpp, bjt_load.cpp):
//
//   - a set-up that, per record of its list, opens its StampRange in the family's solver
//     table (AnalogSolver().devices.<family>[i].stamps, walked with ForEachDeviceWithStamps),
//     reserves its elements and closes the range;
//   - a load that stamps exactly that range through a StampCursor and calls Finish(), or,
//     where nothing is stamped (small-signal preparation), leaves the range alone. Optional
//     element groups (series resistances) are decided by one predicate fixed for the run and
//     used by both set-up and load. Charge states start at the entry's stateSlot (laid out
//     by AssignStateSlots in list order);
//   - an AC stamper (kAcStampPass / kAcCurrentPass) and a noise builder;
//   - the operating-point report rows read the fields the load leaves in the record
//     (src/devices/op_report.cpp, one table per family).
//
// and registers them with one call:
//
//   void RegisterDiodeFamily()
//   {
//       RegisterDeviceFamily({kSlotDiodes, SetupDiodes, LoadDiodes, kAcDiodes, AcLoadDiodes,
//                             kNoiseDiodes, AddDiodeNoiseSources});
//   }
//
// and adds its Register...Family() call to RegisterSemiconductorFamilies.
//
// Model preparation: before every SetCircuitTemperature the working parameter array of each
// evaluated model is rebuilt from its pristine copy (EvaluatedModel::pristine), so a family's
// temperature passes always start from the values the statement gave (stepping and Monte
// Carlo change the pristine copy). Per-instance values at temperature go into the instance
// record, never into the shared model.
#include "analog/device_dispatch.h"
#include "analog/noise.h"
#include "analog/stamp_ac.h"

namespace kq5 {

struct DeviceFamilyHooks {
    DeviceKindSlot kind;
    DeviceSetupFn setup;
    DeviceLoadFn load;
    AcStamperSlot acKind;
    AcStamperFn acStamper;
    NoiseBuilderSlot noiseKind;
    NoiseBuilderFn noise;  // may be null for a family without noise generators
};

void RegisterDeviceFamily(const DeviceFamilyHooks& hooks);

// Every semiconductor family this program models.
void RegisterSemiconductorFamilies();

// The set-up, load, AC stamps and noise of the linear elements and sources, which the engine
// walks in the same fixed order (src/devices/kernel_registration.cpp).
void RegisterLinearDeviceKinds();
// What the run loops ask of the device families (DeviceServices()).
void RegisterDeviceRunServices();

// The families (each in its own files).
void RegisterDiodeFamily();
void RegisterBjtFamily();
void RegisterJfetFamily();
void RegisterGaasfetFamily();
void RegisterMosfetFamily();  // with the voltage-history commit of an accepted point
void RegisterMosLevel8Family();
void RegisterMosLevel45Family();  // src/devices/bsim12_load.cpp

}  // namespace kq5
