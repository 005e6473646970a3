#include "core/linked_list.h"

#include <new>
#include <utility>

#include "core/device_lists.h"

namespace kq5 {

namespace {

ListState& ListStateStorage()
{
    static ListState state;
    return state;
}

void FreeNode(ListNode* node)
{
    node->kind = kKindFreed;
    delete node;
}

}  // namespace

ListState& Lists()
{
    return ListStateStorage();
}

void ResetListStateForTests()
{
    ListStateStorage() = ListState{};
}

void SetListPrependMode(int value)
{
    Lists().listAppendMode = value;
}

LinkedList::LinkedList(LinkedList&& other) noexcept
    : head(std::exchange(other.head, nullptr)),
      tail(std::exchange(other.tail, nullptr)),
      factory(other.factory),
      count(std::exchange(other.count, 0))
{
}

LinkedList& LinkedList::operator=(LinkedList&& other) noexcept
{
    if (this != &other) {
        ListClear(*this);
        head = std::exchange(other.head, nullptr);
        tail = std::exchange(other.tail, nullptr);
        factory = other.factory;
        count = std::exchange(other.count, 0);
    }
    return *this;
}

LinkedList::~LinkedList()
{
    ListClear(*this);
}

ListNode* ListAppend(LinkedList& list, std::uint16_t kind)
{
    assert(list.factory && "a list needs its record type before the first append");
    if (!list.factory) return nullptr;
    ListNode* node = nullptr;
    try {
        node = list.factory();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    node->kind = kind;
    if (!list.head) {
        list.head = list.tail = node;
    } else if (Lists().listAppendMode == kListPrepend) {
        node->next = list.head;
        list.head = node;
    } else {
        list.tail->next = node;
        list.tail = node;
    }
    ++list.count;
    return node;
}

void ListClear(LinkedList& list)
{
    ListNode* node = list.head;
    // Detach first, so that a clean-up that looks at this list sees it empty.
    list.head = list.tail = nullptr;
    list.count = 0;
    while (node) {
        ListNode* next = node->next;
        if (node->kind != kKindNone) FreeNodeOwnedData(node);
        FreeNode(node);
        node = next;
    }
}

ListNode* ListRemove(LinkedList& list, ListNode* node)
{
    if (!node) return nullptr;
    ListNode* previous = nullptr;
    if (list.head != node) {
        previous = list.head;
        while (previous && previous->next != node) previous = previous->next;
        assert(previous && "the node must belong to the list");
        if (!previous) return nullptr;
    }
    ListNode* next = node->next;
    if (previous) {
        previous->next = next;
    } else {
        list.head = next;
    }
    if (list.tail == node) list.tail = previous;
    --list.count;
    FreeNodeOwnedData(node);
    FreeNode(node);
    return next;
}

int ListRemoveIf(LinkedList& list, const std::function<bool(const ListNode&)>& remove)
{
    int removed = 0;
    ListNode* previous = nullptr;
    for (ListNode* node = list.head; node;) {
        ListNode* next = node->next;
        if (!remove(*node)) {
            previous = node;
            node = next;
            continue;
        }
        if (previous)
            previous->next = next;
        else
            list.head = next;
        if (list.tail == node) list.tail = previous;
        --list.count;
        FreeNodeOwnedData(node);
        FreeNode(node);
        ++removed;
        node = next;
    }
    return removed;
}

void ListLinkAfter(LinkedList& list, ListNode* before, ListNode* node)
{
    ListNode* after = before ? before->next : list.head;
    node->next = after;
    if (before)
        before->next = node;
    else
        list.head = node;
    if (!after) list.tail = node;
    ++list.count;
}

}  // namespace kq5
