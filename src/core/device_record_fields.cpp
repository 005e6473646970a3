#include "core/device_record_fields.h"

#include <algorithm>


namespace kq5 {

namespace {

DevicesState& State()
{
    static DevicesState state;
    return state;
}

// Labels and names compare without regard to ASCII case, as everywhere in the program.
bool SameNameNoCase(std::string_view a, std::string_view b)
{
    auto upper = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char x, char y) { return upper(x) == upper(y); });
}

}  // namespace

DevicesState& Devices()
{
    return State();
}

void ResetDevicesStateForTests()
{
    State() = DevicesState();
}

const std::vector<DeviceRecordFields>& DeviceRecordTable()
{
    DevicesState& devices = Devices();
    if (devices.recordFieldsPending) {
        devices.recordFieldsPending = false;
        if (devices.fillRecordFields) devices.fillRecordFields();
    }
    return devices.recordFields;
}

const DeviceRecordFields* FindDeviceByLabel(std::string_view label, std::uint32_t familyMask)
{
    for (const DeviceRecordFields& d : DeviceRecordTable())
        if ((d.families & familyMask) && SameNameNoCase(d.label, label)) return &d;
    return nullptr;
}

std::vector<const DeviceRecordFields*> FindDevicesBetweenNodes(int nodeA, int nodeB,
                                                              std::uint32_t familyMask)
{
    std::vector<const DeviceRecordFields*> found;
    for (const DeviceRecordFields& d : DeviceRecordTable()) {
        if (!d.twoTerminal || !(d.families & familyMask)) continue;
        if ((d.nodes[0] == nodeA && d.nodes[1] == nodeB) ||
            (d.nodes[0] == nodeB && d.nodes[1] == nodeA))
            found.push_back(&d);
    }
    return found;
}

const double* FindDeviceField(const DeviceRecordFields& device, std::string_view name)
{
    Devices().familiesRead |= device.families;
    for (const DeviceField& f : device.fields)
        if (SameNameNoCase(f.name, name)) return f.address;
    return nullptr;
}

const DevicePinVoltage* FindDevicePinVoltage(const DeviceRecordFields& device,
                                             std::string_view pins)
{
    for (const DevicePinVoltage& p : device.pinVoltages)
        if (SameNameNoCase(p.pins, pins)) return &p;
    return nullptr;
}

const DeviceModelParam* FindDeviceModelParam(const DeviceRecordFields& device,
                                             std::string_view name)
{
    for (const DeviceModelParam& p : device.modelParams)
        if (SameNameNoCase(p.name, name)) return &p;
    return nullptr;
}

const std::complex<double>* FindDeviceAcCurrent(const DeviceRecordFields& device)
{
    if (!device.acCurrentRecord) return nullptr;
    return &Devices().acCurrents[device.acCurrentRecord];
}

const std::complex<double>* FindDeviceAcField(const DeviceRecordFields& device, std::string_view name)
{
    for (const DeviceAcField& f : device.acFields)
        if (SameNameNoCase(f.name, name)) return f.address;
    return nullptr;
}

void ClearDeviceHistoryFields()
{
    for (DeviceHistoryFields& h : Devices().history) std::fill(h.values.begin(), h.values.end(), 0.0);
}

}  // namespace kq5
