#pragma once
// The simulator's device lists: 40 lists numbered -2 to 37, one per device family, filled
// by the circuit build, walked by the analyses and emptied when a run's data are freed.
//
// A subsystem that defines the record type of a registry list registers it once at
// start-up, before ApplyDeviceListSizes runs:
//
//     RegisterDeviceRecordType(kResistorList, NewListRecord<ResistorDevice>);
//
// A list whose type was never registered adopts the type of its first ListAppendAs<T>.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/linked_list.h"
#include "core/memory.h"

namespace kq5 {

inline constexpr int kFirstDeviceList = -2;
inline constexpr int kLastDeviceList = 37;
inline constexpr int kDeviceListCount = 40;

// Lists with a fixed role outside the build's translators.
inline constexpr int kTimeBreakpointList = 1;
inline constexpr int kResistorList = 27;
inline constexpr int kCapacitorList = 29;
inline constexpr int kInductorList = 35;
inline constexpr int kIndependentSourceList = 17;
inline constexpr int kPartInstanceList = 37;

// The device families' lists (their record types are in src/devices).
inline constexpr int kBjtDeviceList = 34;
inline constexpr int kCapacitorDeviceList = 29;
inline constexpr int kLinearSourceDeviceList = 24;
inline constexpr int kFormulaSourceDeviceList = 30;
inline constexpr int kLaplaceSourceDeviceList = 36;
inline constexpr int kTableSourceDeviceList = 26;
inline constexpr int kFreqTableSourceDeviceList = 32;
inline constexpr int kDiodeDeviceList = 28;
inline constexpr int kMosfetDeviceList = 19;
inline constexpr int kJfetDeviceList = 15;
inline constexpr int kGaasfetDeviceList = 23;
inline constexpr int kInductorDeviceList = 35;
inline constexpr int kCouplingDeviceList = 25;
inline constexpr int kCoreRequestList = 31;
inline constexpr int kIdealLineDeviceList = 20;
inline constexpr int kLossyLineDeviceList = 11;
inline constexpr int kSwitchDeviceList = 14;
inline constexpr int kVoltageSwitchDeviceList = 18;
inline constexpr int kCurrentSwitchDeviceList = 16;
inline constexpr int kOpampDeviceList = 13;
inline constexpr int kResistorDeviceList = 27;
inline constexpr int kIndependentSourceDeviceList = 17;
inline constexpr int kPulseSourceDeviceList = 21;
inline constexpr int kSineSourceDeviceList = 33;
inline constexpr int kUserSourceDeviceList = 4;
inline constexpr int kSampleHoldDeviceList = -2;
inline constexpr int kDigitalLedDeviceList = 0;
inline constexpr int kSevenSegmentDeviceList = -1;

// A counted array of owned blocks with two blocks beside it, held by digital primitive
// records. Free releases each entry, sets the count to 0, then releases the two blocks and
// the array.
struct OwnedBlockArray {
    std::int32_t count = 0;
    OwnedBlock first;
    OwnedBlock second;
    std::vector<OwnedBlock> entries;

    void Free() noexcept;
};

struct DeviceListRow {
    std::int8_t list;
    ListNodeFactory recordType;  // null until the owning subsystem registers it
};

struct DeviceListRegistry {
    std::array<LinkedList, kDeviceListCount> lists;  // index = list number + 2
    // Rows in registry order, which is also the order in which the lists are cleared.
    std::array<DeviceListRow, kDeviceListCount> rows;

    DeviceListRegistry();
    ~DeviceListRegistry();
};

DeviceListRegistry& DeviceLists();
// Empties every list and forgets the registered record types.
void ResetDeviceListsForTests();

// The list numbered -2 to 37.
LinkedList& DeviceList(int number);

// Records the record type of one registry list (its factory replaces the element size).
void RegisterDeviceRecordType(int number, ListNodeFactory recordType);

// Gives every registry list the record type of its row; called once during program
// initialisation, after the settings are read.
void ApplyDeviceListSizes();

// ListClear on each registry list in registry order.
void ClearAllDeviceLists();

// The clean-up by kind: frees what the record owns, never the record itself.
void FreeNodeOwnedData(ListNode* node);

struct SchematicItem;
struct PartInstanceRecord;
// The first part-instance entry whose device is the given one, or its component item; null
// when the device has none.
const PartInstanceRecord* FindPartInstanceOfDevice(const ListNode* device);
SchematicItem* FindPartOfDevice(const ListNode* device);

}  // namespace kq5
