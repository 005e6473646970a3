#include "core/device_lists.h"

#include <cassert>

#include "core/part_instance.h"

namespace kq5 {

namespace {

// Registry order; clearing follows it, so device lists go before the part instances that
// point at their records.
constexpr std::array<std::int8_t, kDeviceListCount> kRegistryOrder = {
    27, 29, 35, 28, 33, 25, 34, 19, 15, 13, 21, 24, 36, 30, 26, 32, 14, 20, 4, 31,
    23, 18, 16, 22, 17, 37, 1,  5,  9,  3,  10, 11, 6,  2,  -1, 0,  -2, 12, 8, 7,
};

// The record types core itself knows; every other row is filled by its subsystem.
ListNodeFactory DefaultRecordType(int list)
{
    return list == kPartInstanceList ? &NewListRecord<PartInstanceRecord> : nullptr;
}

std::size_t SlotOf(int number)
{
    assert(number >= kFirstDeviceList && number <= kLastDeviceList);
    return static_cast<std::size_t>(number - kFirstDeviceList);
}

void ResetRows(std::array<DeviceListRow, kDeviceListCount>& rows)
{
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i] = {kRegistryOrder[i], DefaultRecordType(kRegistryOrder[i])};
    }
}

DeviceListRegistry& RegistryStorage()
{
    static DeviceListRegistry registry;
    return registry;
}

}  // namespace

void OwnedBlockArray::Free() noexcept
{
    for (OwnedBlock& entry : entries) FreeAndNull(entry);
    count = 0;
    FreeAndNull(first);
    FreeAndNull(second);
    FreeAndNull(entries);
}

DeviceListRegistry::DeviceListRegistry()
{
    ResetRows(rows);
}

DeviceListRegistry::~DeviceListRegistry()
{
    // Same order as a run's teardown rather than the reverse order of the array.
    for (const DeviceListRow& row : rows) ListClear(lists[SlotOf(row.list)]);
}

DeviceListRegistry& DeviceLists()
{
    return RegistryStorage();
}

void ResetDeviceListsForTests()
{
    DeviceListRegistry& registry = DeviceLists();
    ClearAllDeviceLists();
    ResetRows(registry.rows);
    for (LinkedList& list : registry.lists) list.factory = nullptr;
}

LinkedList& DeviceList(int number)
{
    return DeviceLists().lists[SlotOf(number)];
}

void RegisterDeviceRecordType(int number, ListNodeFactory recordType)
{
    DeviceListRegistry& registry = DeviceLists();
    for (DeviceListRow& row : registry.rows) {
        if (row.list == number) row.recordType = recordType;
    }
    DeviceList(number).factory = recordType;
}

void ApplyDeviceListSizes()
{
    for (const DeviceListRow& row : DeviceLists().rows) {
        // A list that already adopted its type keeps it until one is registered.
        if (row.recordType) DeviceList(row.list).factory = row.recordType;
    }
}

void ClearAllDeviceLists()
{
    for (const DeviceListRow& row : DeviceLists().rows) ListClear(DeviceList(row.list));
}

void FreeNodeOwnedData(ListNode* node)
{
    if (!node) return;
    switch (node->kind) {
    case kKindFreed:
        break;
    default:
        // Every record frees what it owns through its own override, whatever layer defines it
        // (component definitions, performance, 3-D and Monte Carlo window records included).
        node->FreeOwnedData();
        break;
    }
}

const PartInstanceRecord* FindPartInstanceOfDevice(const ListNode* device)
{
    if (!device) return nullptr;
    for (const PartInstanceRecord& part : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList))) {
        if (part.device == device) return &part;
    }
    return nullptr;
}

SchematicItem* FindPartOfDevice(const ListNode* device)
{
    const PartInstanceRecord* part = FindPartInstanceOfDevice(device);
    return part ? part->component : nullptr;
}

}  // namespace kq5
