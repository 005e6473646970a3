#include "document/connection_points.h"

namespace kq5 {

void ConnectionPointTable::AddConnectionPoint(std::int32_t key, std::int32_t label, std::int16_t page)
{
    const int index = static_cast<int>(entries_.size());
    std::vector<int>& members = byLabel_[label];
    members.reserve(members.size() + 1);
    firstEntry_.try_emplace(PagedPointKey(key, page), index);
    entries_.push_back({key, page, label, 0});
    members.push_back(index);
}

int ConnectionPointTable::FindEntry(std::int32_t key, std::int16_t page) const
{
    auto found = firstEntry_.find(PagedPointKey(key, page));
    return found == firstEntry_.end() ? -1 : found->second;
}

std::int32_t ConnectionPointTable::FindPointNode(std::int32_t key, std::int16_t page) const
{
    int index = FindEntry(key, page);
    return index < 0 ? kNoLabel : entries_[static_cast<std::size_t>(index)].label;
}

std::int32_t ConnectionPointTable::FindPointNodeAndCount(std::int32_t key, std::int16_t page)
{
    int index = FindEntry(key, page);
    if (index < 0) return kNoLabel;
    ConnectionPoint& entry = entries_[static_cast<std::size_t>(index)];
    if (entry.useCount != -1) ++entry.useCount;
    return entry.label;
}

void ConnectionPointTable::ReplaceNodeLabel(std::int32_t from, std::int32_t to)
{
    if (from == to) return;
    auto found = byLabel_.find(from);
    if (found == byLabel_.end()) return;
    std::vector<int> moved = std::move(found->second);
    byLabel_.erase(found);
    std::vector<int>& target = byLabel_[to];
    target.reserve(target.size() + moved.size());
    for (int index : moved) {
        entries_[static_cast<std::size_t>(index)].label = to;
        target.push_back(index);
    }
}

void ConnectionPointTable::JoinPoints(std::int32_t keyA, std::int32_t keyB, std::int32_t& temporaryCounter,
                                      std::int16_t pageA, std::int16_t pageB)
{
    const std::int32_t labelA = FindPointNodeAndCount(keyA, pageA);
    const std::int32_t labelB = FindPointNodeAndCount(keyB, pageB);
    if (labelA == kNoLabel && labelB == kNoLabel) {
        --temporaryCounter;
        AddConnectionPoint(keyA, temporaryCounter, pageA);
        if (keyB != keyA || pageB != pageA) AddConnectionPoint(keyB, temporaryCounter, pageB);
    } else if (labelA == kNoLabel) {
        AddConnectionPoint(keyA, labelB, pageA);
    } else if (labelB == kNoLabel) {
        AddConnectionPoint(keyB, labelA, pageB);
    } else if (labelA == 0) {
        ReplaceNodeLabel(labelB, 0);
    } else {
        ReplaceNodeLabel(labelA, labelB);
    }
}

void ConnectionPointTable::Clear()
{
    entries_.clear();
    firstEntry_.clear();
    byLabel_.clear();
}

}  // namespace kq5
