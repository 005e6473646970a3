#pragma once
// The record types of the device lists that the circuit build fills.
namespace kq5 {

// Registers every record type with the device-list registry; done once at start-up, before
// the list sizes are applied, and again by a build (registering is idempotent).
void RegisterCircuitDeviceRecordTypes();

}  // namespace kq5
