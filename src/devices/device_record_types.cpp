#include "devices/device_record_types.h"

#include "core/device_lists.h"
#include "devices/bjt_device.h"
#include "devices/capacitor_device.h"
#include "devices/controlled_source_devices.h"
#include "devices/device_families.h"
#include "devices/diode_device.h"
#include "devices/fet_devices.h"
#include "devices/inductor_device.h"
#include "devices/line_switch_devices.h"
#include "devices/opamp_device.h"
#include "devices/resistor_device.h"
#include "devices/source_device.h"
#include "devices/standalone_element_devices.h"
#include "netlist/poly_source.h"

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

}  // namespace kq5
