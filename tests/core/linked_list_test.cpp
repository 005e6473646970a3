#include "core/device_lists.h"
#include "core/linked_list.h"
#include "core/part_instance.h"

#include <gtest/gtest.h>

#include <new>
#include <set>
#include <string>
#include <vector>

namespace kq5 {

namespace {

// Counts clean-ups and destructions so the tests can see which ran.
struct TracedRecord : ListNode {
    int value;
    std::string text;
    static inline int cleanups = 0;
    static inline int destroyed = 0;
    void FreeOwnedData() override
    {
        ++cleanups;
        text.clear();
    }
    ~TracedRecord() override { ++destroyed; }
};

ListNode* FailingFactory()
{
    throw std::bad_alloc();
}

class LinkedListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetListStateForTests();
        ResetDeviceListsForTests();
        TracedRecord::cleanups = 0;
        TracedRecord::destroyed = 0;
    }
    void TearDown() override
    {
        ResetListStateForTests();
        ResetDeviceListsForTests();
    }

    static std::vector<int> Values(const LinkedList& list)
    {
        std::vector<int> out;
        for (TracedRecord& r : ListRecords<TracedRecord>(list)) out.push_back(r.value);
        return out;
    }

    static TracedRecord* Add(LinkedList& list, int value, std::uint16_t kind = 3)
    {
        TracedRecord* r = ListAppendAs<TracedRecord>(list, kind);
        r->value = value;
        return r;
    }
};

}  // namespace

TEST_F(LinkedListTest, AppendAndPrependModesKeepHeadTailAndCount)
{
    LinkedList list(NewListRecord<TracedRecord>);
    SetListPrependMode(kListPrepend);
    TracedRecord* first = Add(list, 1);
    EXPECT_EQ(list.head, first);
    EXPECT_EQ(list.tail, first);
    EXPECT_EQ(list.count, 1);
    TracedRecord* second = Add(list, 2);
    EXPECT_EQ(list.head, second);
    EXPECT_EQ(list.tail, first);
    SetListPrependMode(kListAppend);
    Add(list, 3);
    EXPECT_EQ(Values(list), (std::vector<int>{2, 1, 3}));
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(ListHead<TracedRecord>(list)->value, 2);
    EXPECT_EQ(ListNext(ListHead<TracedRecord>(list))->value, 1);

    LinkedList other(NewListRecord<TracedRecord>);
    EXPECT_EQ(Add(other, 9), other.tail);  // an empty list in append mode
}

TEST_F(LinkedListTest, NewRecordsAreZeroedAndCarryTheirKind)
{
    LinkedList list;
    TracedRecord* r = ListAppendAs<TracedRecord>(list, 42);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->value, 0);
    EXPECT_EQ(r->kind, 42);
    EXPECT_EQ(r->next, nullptr);
    EXPECT_NE(list.factory, nullptr);  // the list adopted the record type
}

TEST_F(LinkedListTest, ExhaustedHeapLeavesTheListUnchanged)
{
    LinkedList list(NewListRecord<TracedRecord>);
    Add(list, 1);
    list.factory = FailingFactory;
    EXPECT_EQ(ListAppend(list, 3), nullptr);
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(list.head, list.tail);
    EXPECT_EQ(list.tail->next, nullptr);
}

TEST_F(LinkedListTest, RemoveRelinksAndReturnsTheSuccessor)
{
    LinkedList list(NewListRecord<TracedRecord>);
    TracedRecord* a = Add(list, 1);
    TracedRecord* b = Add(list, 2);
    TracedRecord* c = Add(list, 3, kKindNone);

    EXPECT_EQ(ListRemove(list, c), nullptr);
    EXPECT_EQ(list.tail, b);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_EQ(TracedRecord::cleanups, 1);  // whatever its kind

    EXPECT_EQ(ListRemove(list, a), b);
    EXPECT_EQ(list.head, b);
    EXPECT_EQ(ListRemove(list, nullptr), nullptr);
    EXPECT_EQ(list.count, 1);

    EXPECT_EQ(ListRemove(list, b), nullptr);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(TracedRecord::destroyed, 3);

    // Removing while walking.
    for (int i = 0; i < 5; ++i) Add(list, i);
    for (ListNode* n = list.head; n;) {
        n = static_cast<TracedRecord*>(n)->value % 2 ? ListRemove(list, n) : n->next;
    }
    EXPECT_EQ(Values(list), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(list.tail, list.head->next->next);
}

TEST_F(LinkedListTest, ClearSkipsTheCleanUpOfKindZeroAndKeepsTheRecordType)
{
    LinkedList list(NewListRecord<TracedRecord>);
    ListClear(list);
    EXPECT_EQ(list.count, 0);

    Add(list, 1, kKindNone)->text = "owned";
    Add(list, 2, 3)->text = "owned";
    Add(list, 3, kKindNone);
    ListClear(list);
    EXPECT_EQ(TracedRecord::cleanups, 1);
    EXPECT_EQ(TracedRecord::destroyed, 3);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    EXPECT_EQ(list.count, 0);
    EXPECT_NE(Add(list, 4), nullptr);
}

TEST_F(LinkedListTest, ListsOwnTheirRecordsAcrossMovesAndDestruction)
{
    struct Owner : ListNode {
        LinkedList children{NewListRecord<TracedRecord>};
        void FreeOwnedData() override { ListClear(children); }
    };
    {
        LinkedList outer(NewListRecord<Owner>);
        Owner* o = ListAppendAs<Owner>(outer, kKindCapacitor);
        Add(o->children, 1);
        Add(o->children, 2);
        LinkedList moved(std::move(outer));
        EXPECT_EQ(outer.count, 0);
        EXPECT_EQ(moved.count, 1);
        EXPECT_EQ(static_cast<Owner*>(moved.head)->children.count, 2);
    }
    EXPECT_EQ(TracedRecord::destroyed, 2);
}

TEST_F(LinkedListTest, RegistryHoldsFortyListsClearedInRegistryOrder)
{
    std::set<int> numbers;
    for (const DeviceListRow& row : DeviceLists().rows) numbers.insert(row.list);
    EXPECT_EQ(numbers.size(), 40u);
    EXPECT_EQ(*numbers.begin(), kFirstDeviceList);
    EXPECT_EQ(*numbers.rbegin(), kLastDeviceList);
    EXPECT_EQ(DeviceLists().rows.front().list, 27);
    EXPECT_EQ(DeviceLists().rows.back().list, 7);

    RegisterDeviceRecordType(kResistorList, NewListRecord<TracedRecord>);
    DeviceList(kResistorList).factory = nullptr;
    ApplyDeviceListSizes();
    EXPECT_EQ(DeviceList(kResistorList).factory, &NewListRecord<TracedRecord>);
    EXPECT_NE(DeviceList(kPartInstanceList).factory, nullptr);

    for (int n = kFirstDeviceList; n <= kLastDeviceList; ++n) {
        if (n != kPartInstanceList) Add(DeviceList(n), n, 0);
    }
    ClearAllDeviceLists();
    for (int n = kFirstDeviceList; n <= kLastDeviceList; ++n) EXPECT_EQ(DeviceList(n).count, 0);
    EXPECT_EQ(TracedRecord::destroyed, 39);
}

TEST_F(LinkedListTest, PartInstancesNameTheirDevices)
{
    ApplyDeviceListSizes();
    TracedRecord* r1 = Add(DeviceList(kResistorList), 1, 17);
    TracedRecord* r2 = Add(DeviceList(kResistorList), 2, 17);
    auto* macro = static_cast<PartInstanceRecord*>(ListAppend(DeviceList(kPartInstanceList), kKindPartInstance));
    macro->partName = "X1";
    auto* part = static_cast<PartInstanceRecord*>(ListAppend(DeviceList(kPartInstanceList), kKindPartInstance));
    part->device = r1;
    part->component = reinterpret_cast<SchematicItem*>(part);  // any distinct address
    part->partName = "X1.R1";

    EXPECT_EQ(FindPartOfDevice(r1), reinterpret_cast<SchematicItem*>(part));
    EXPECT_EQ(FindPartInstanceOfDevice(r1), part);
    EXPECT_EQ(FindPartOfDevice(r2), nullptr);
    EXPECT_EQ(FindPartInstanceOfDevice(r2), nullptr);
    // Entries without a device do not answer for a missing one.
    EXPECT_EQ(FindPartInstanceOfDevice(nullptr), nullptr);

    part->FreeOwnedData();
    EXPECT_TRUE(part->partName.empty());
}

TEST_F(LinkedListTest, CleanUpByKindReachesEveryRecordType)
{
    LinkedList list(NewListRecord<TracedRecord>);
    const std::uint16_t kinds[] = {kKindComponentDefinition, kKindPerformanceWindow, kKindGraph3DWindow,
                                   kKindMonteCarloWindow, kKindModelBase + 5};
    for (std::uint16_t kind : kinds) {
        Add(list, kind, kind)->text = "owned";
    }
    for (TracedRecord& r : ListRecords<TracedRecord>(list)) FreeNodeOwnedData(&r);
    EXPECT_EQ(TracedRecord::cleanups, 5);
    for (TracedRecord& r : ListRecords<TracedRecord>(list)) EXPECT_TRUE(r.text.empty());

    // A node whose clean-up has run is not cleaned twice.
    list.head->kind = kKindFreed;
    FreeNodeOwnedData(list.head);
    FreeNodeOwnedData(nullptr);
    EXPECT_EQ(TracedRecord::cleanups, 5);
}

TEST_F(LinkedListTest, OwnedBlockArrayFreesEntriesAndBlocks)
{
    OwnedBlockArray a;
    a.count = 2;
    a.entries = {OwnedBlock(4, 1), OwnedBlock(8, 2)};
    a.first = OwnedBlock(3);
    a.second = OwnedBlock(5);
    a.Free();
    EXPECT_EQ(a.count, 0);
    EXPECT_TRUE(a.entries.empty());
    EXPECT_TRUE(a.first.empty());
    EXPECT_TRUE(a.second.empty());
}

}  // namespace kq5
