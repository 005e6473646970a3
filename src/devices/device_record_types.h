#pragma once
// What the device layer gives the circuit build, which sits below it and reaches it only through
// netlist/circuit_device_services.h: the record types of the device lists it fills, and the
// table of labelled devices that expressions read.
namespace kq5 {

// Registers every record type with the device-list registry; done once at start-up, before
// the list sizes are applied, and again by a build (registering is idempotent).
void RegisterCircuitDeviceRecordTypes();

// Fills the expression engine's table of labelled devices from the part-instance list, and
// empties it.
void FillDeviceRecordFields();
void ClearDeviceRecordFields();

// Fills the circuit build's device services with the three above. The window program and batch
// runs do it at start-up, every test binary before its tests; a build without it stops.
void RegisterCircuitDevices();

}  // namespace kq5
