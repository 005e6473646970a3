#pragma once
// Singly linked lists of records, the collection behind document items, attributes,
// libraries, plot objects and the simulator's device records.
//
// A record type derives from ListNode:
//
//     struct CapacitorDevice : ListNode {
//         double capacitance;
//         LinkedList couplings;                  // sub-lists and strings free themselves
//         void FreeOwnedData() override { ListClear(couplings); }
//     };
//
// and a list makes its records through a factory instead of an element size:
//
//     LinkedList caps(NewListRecord<CapacitorDevice>);
//     CapacitorDevice* c = ListAppendAs<CapacitorDevice>(caps, kKindCapacitor);
//     for (CapacitorDevice& cap : ListRecords<CapacitorDevice>(caps)) ...
//
// Records are value-initialised, so every member without an initialiser starts at zero,
// as the program's algorithms expect of a new node. FreeOwnedData releases what the record
// owns and leaves it a valid, empty record; it runs when the node leaves its list (the
// kind word decides which clean-up runs, see FreeNodeOwnedData in core/device_lists.h).
// The destructor frees the rest, so a record never leaks, whatever its kind.
//
// Device records of the registry lists register their type once with
// RegisterDeviceRecordType (core/device_lists.h); ListAppendAs<T> on a list that has no
// factory yet adopts T.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace kq5 {

// Kind words. The kind selects the clean-up when a node goes; kinds 100 + row are the
// evaluated models of each model type.
enum : std::uint16_t {
    kKindNone = 0,
    kKindSchematicItem = 1,
    kKindGridText = 2,
    kKindPlotObject = 3,      // also the one-text records of file readers and edit lists
    kKindCapacitor = 4,
    kKindInductor = 5,
    kKindFormulaSource = 6,
    kKindPolySource = 7,
    kKindIndependentSource = 8,
    kKindPartInstance = 9,
    kKindAttribute = 10,
    kKindShape = 11,
    kKindShapePrimitive = 12,
    kKindComponentDefinition = 14,
    kKindResistor = 17,
    kKindLaplaceSource = 18,
    kKindUserFileSource = 21,
    kKindTableSource = 23,
    kKindFreqTableSource = 24,
    kKindLossyLine = 28,
    kKindWindowRecord = 30,
    kKindPerformanceWindow = 31,
    kKindGraph3DWindow = 32,
    kKindMosfet = 33,
    kKindMonteCarloWindow = 34,
    kKindModelBase = 100,     // + row of the model type table
    kKindUioModel = 131,
    kKindFreed = 0xFFFF,      // clean-up has run, the node is being freed
};

struct ListNode {
    ListNode* next = nullptr;
    std::uint16_t kind = 0;

    ListNode() = default;
    // A copied record is not linked anywhere.
    ListNode(const ListNode& other) : kind(other.kind) {}
    ListNode& operator=(const ListNode& other)
    {
        kind = other.kind;
        return *this;
    }
    virtual ~ListNode() = default;

    // Releases what this record owns (texts, blocks, sub-lists); the record stays valid.
    virtual void FreeOwnedData() {}
};

// Makes one value-initialised record of a list's record type; may throw std::bad_alloc.
using ListNodeFactory = ListNode* (*)();

template <class T>
ListNode* NewListRecord()
{
    return new T();
}

struct LinkedList {
    ListNode* head = nullptr;
    ListNode* tail = nullptr;
    ListNodeFactory factory = nullptr;  // record type of this list; kept by ListClear
    std::int32_t count = 0;

    LinkedList() = default;
    explicit LinkedList(ListNodeFactory recordType) : factory(recordType) {}
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;
    LinkedList(LinkedList&& other) noexcept;
    LinkedList& operator=(LinkedList&& other) noexcept;
    ~LinkedList();
};

// Insertion mode of ListAppend: 1 links new nodes at the head, anything else at the tail.
inline constexpr int kListPrepend = 1;
inline constexpr int kListAppend = 2;

struct ListState {
    int listAppendMode = kListAppend;
};
ListState& Lists();
void ResetListStateForTests();

// Stores the insertion mode. A caller that sets kListPrepend sets kListAppend again
// before it returns.
void SetListPrependMode(int value);

// Makes a record through the list's factory, stores the kind and links it (at the head in
// prepend mode, else after the tail). Null when memory runs out; the list is then
// unchanged. The list must have a factory.
ListNode* ListAppend(LinkedList& list, std::uint16_t kind);

// Frees every node from the head on; nodes of kind 0 go without a clean-up call. The
// factory stays.
void ListClear(LinkedList& list);

// Unlinks the node, runs its clean-up whatever its kind, frees it and returns the node
// that followed it (null at the end). A null node changes nothing. The node must belong
// to the list.
ListNode* ListRemove(LinkedList& list, ListNode* node);

// Unlinks and frees, in one walk, every node for which remove(node) is true, each as
// ListRemove would; the number freed.
int ListRemoveIf(LinkedList& list, const std::function<bool(const ListNode&)>& remove);

// Links a node made by the caller right after `before` (at the head when before is null).
// The list takes the node over; `before` must belong to the list.
void ListLinkAfter(LinkedList& list, ListNode* before, ListNode* node);

// Typed append: adopts T as the record type of a list that has none yet.
template <class T>
T* ListAppendAs(LinkedList& list, std::uint16_t kind)
{
    if (!list.factory) list.factory = &NewListRecord<T>;
    ListNode* node = ListAppend(list, kind);
    assert(!node || dynamic_cast<T*>(node));
    return static_cast<T*>(node);
}

// Typed walking. Removing the current node inside a range-for is not allowed; loop with
// the result of ListRemove instead.
template <class T>
T* ListHead(const LinkedList& list)
{
    return static_cast<T*>(list.head);
}

template <class T>
T* ListNext(const T* record)
{
    return static_cast<T*>(record->next);
}

template <class T>
class ListRecordRange {
public:
    class iterator {
    public:
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        explicit iterator(ListNode* node = nullptr) : node_(node) {}
        T& operator*() const { return *static_cast<T*>(node_); }
        T* operator->() const { return static_cast<T*>(node_); }
        iterator& operator++()
        {
            node_ = node_->next;
            return *this;
        }
        iterator operator++(int)
        {
            iterator before = *this;
            node_ = node_->next;
            return before;
        }
        bool operator==(const iterator& other) const { return node_ == other.node_; }

    private:
        ListNode* node_;
    };

    explicit ListRecordRange(ListNode* head) : head_(head) {}
    iterator begin() const { return iterator(head_); }
    iterator end() const { return iterator(); }

private:
    ListNode* head_;
};

template <class T = ListNode>
ListRecordRange<T> ListRecords(const LinkedList& list)
{
    return ListRecordRange<T>(list.head);
}

}  // namespace kq5
