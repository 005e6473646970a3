#include "devices/device_record_types.h"

#include "analog/device_dispatch_tables.h"
#include "core/device_lists.h"
#include "devices/device_families.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "netlist/circuit_device_services.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/inductor_device.h"
#include "netlist/line_switch_devices.h"
#include "netlist/opamp_device.h"
#include "netlist/poly_source.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"

namespace kq5 {

void RegisterCircuitDeviceRecordTypes()
{
    RegisterDeviceRecordType(kResistorDeviceList, NewListRecord<ResistorDevice>);
    RegisterDeviceRecordType(kCapacitorDeviceList, NewListRecord<CapacitorDevice>);
    RegisterDeviceRecordType(kInductorDeviceList, NewListRecord<InductorDevice>);
    RegisterDeviceRecordType(kCouplingDeviceList, NewListRecord<CouplingDevice>);
    RegisterDeviceRecordType(kCoreRequestList, NewListRecord<CoreRequest>);
    RegisterDeviceRecordType(kIndependentSourceDeviceList, NewListRecord<IndependentSourceDevice>);
    RegisterDeviceRecordType(kPulseSourceDeviceList, NewListRecord<PulseSourceDevice>);
    RegisterDeviceRecordType(kSineSourceDeviceList, NewListRecord<SineSourceDevice>);
    RegisterDeviceRecordType(kDiodeDeviceList, NewListRecord<DiodeDevice>);
    RegisterDeviceRecordType(kBjtDeviceList, NewListRecord<BjtDevice>);
    RegisterDeviceRecordType(kMosfetDeviceList, NewListRecord<MosfetDevice>);
    RegisterDeviceRecordType(kJfetDeviceList, NewListRecord<JfetDevice>);
    RegisterDeviceRecordType(kGaasfetDeviceList, NewListRecord<GaasfetDevice>);
    RegisterDeviceRecordType(kIdealLineDeviceList, NewListRecord<IdealLineDevice>);
    RegisterDeviceRecordType(kLossyLineDeviceList, NewListRecord<LossyLineDevice>);
    RegisterDeviceRecordType(kSwitchDeviceList, NewListRecord<SwitchDevice>);
    RegisterDeviceRecordType(kVoltageSwitchDeviceList, NewListRecord<VoltageSwitchDevice>);
    RegisterDeviceRecordType(kCurrentSwitchDeviceList, NewListRecord<CurrentSwitchDevice>);
    RegisterDeviceRecordType(kLinearSourceDeviceList, NewListRecord<LinearSourceDevice>);
    RegisterDeviceRecordType(kFormulaSourceDeviceList, NewListRecord<FormulaSourceDevice>);
    RegisterDeviceRecordType(kLaplaceSourceDeviceList, NewListRecord<LaplaceSourceDevice>);
    RegisterDeviceRecordType(kTableSourceDeviceList, NewListRecord<TableSourceDevice>);
    RegisterDeviceRecordType(kFreqTableSourceDeviceList, NewListRecord<FreqTableSourceDevice>);
    RegisterDeviceRecordType(kUserSourceDeviceList, NewListRecord<UserSourceDevice>);
    RegisterDeviceRecordType(kSampleHoldDeviceList, NewListRecord<SampleHoldDevice>);
    RegisterDeviceRecordType(kDigitalLedDeviceList, NewListRecord<DigitalLedDevice>);
    RegisterDeviceRecordType(kSevenSegmentDeviceList, NewListRecord<SevenSegmentDevice>);
    RegisterDeviceRecordType(kOpampDeviceList, NewListRecord<OpampDevice>);
    RegisterDeviceRecordType(kPolySourceList, NewListRecord<PolySourceDevice>);
    RegisterLinearDeviceKinds();
    RegisterDeviceRunServices();
    RegisterSemiconductorFamilies();
}

void RegisterCircuitDevices()
{
    CircuitDeviceServicesTable& services = CircuitDeviceServices();
    services.registerRecordTypes = RegisterCircuitDeviceRecordTypes;
    services.fillRecordFields = FillDeviceRecordFields;
    services.clearRecordFields = ClearDeviceRecordFields;
    services.numberDeviceRows = NumberDeviceRows;
}

}  // namespace kq5
