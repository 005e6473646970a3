#pragma once
// The work table of one connectivity rebuild: every connection point met so far (a wire end,
// a pin, a ground, a label point) with the node label it belongs to and how often a counting
// lookup found it. Labels: 0 ground, positive final labels, -2, -3, ... temporary labels of
// wire nets; -1 means "no label" in lookup results.
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kq5 {

inline constexpr std::int32_t kNoLabel = -1;

// A grid point packed into one word: x in the low 16 bits, y in the high 16 bits, both cut
// to 16 bits. Two points connect only when key and page are both equal.
constexpr std::int32_t ConnectionKey(std::int32_t x, std::int32_t y)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(y) << 16) | (static_cast<std::uint32_t>(x) & 0xFFFFu));
}
constexpr std::int32_t KeyX(std::int32_t key) { return static_cast<std::int16_t>(key & 0xFFFF); }
constexpr std::int32_t KeyY(std::int32_t key) { return static_cast<std::int16_t>((static_cast<std::uint32_t>(key) >> 16) & 0xFFFF); }

// A point and its page as one hash key.
constexpr std::uint64_t PagedPointKey(std::int32_t key, std::int16_t page)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(key)) << 16) | static_cast<std::uint16_t>(page);
}

struct ConnectionPoint {
    std::int32_t key = 0;
    std::int16_t page = 0;
    std::int32_t label = 0;
    std::int32_t useCount = 0;  // raised by each counting lookup that finds the entry
};

class ConnectionPointTable {
public:
    // Appends an entry; may throw std::bad_alloc.
    void AddConnectionPoint(std::int32_t key, std::int32_t label, std::int16_t page);
    // The label of the first entry with that key and page; kNoLabel when none.
    std::int32_t FindPointNode(std::int32_t key, std::int16_t page) const;
    // The same, raising the entry's use count.
    std::int32_t FindPointNodeAndCount(std::int32_t key, std::int16_t page);
    // Every entry labelled `from` gets `to`.
    void ReplaceNodeLabel(std::int32_t from, std::int32_t to);
    // Puts two points into one net. Ground (label 0) always survives the merge; points not
    // seen before take a new temporary label from the counter (decremented before use).
    void JoinPoints(std::int32_t keyA, std::int32_t keyB, std::int32_t& temporaryCounter, std::int16_t pageA,
                    std::int16_t pageB);

    const std::vector<ConnectionPoint>& Entries() const { return entries_; }
    void Clear();

private:
    int FindEntry(std::int32_t key, std::int16_t page) const;

    std::vector<ConnectionPoint> entries_;
    // The first entry of each point, so lookups need not walk the table; entries are never
    // removed, so the first entry of a point stays the first.
    std::unordered_map<std::uint64_t, int> firstEntry_;
    // Entries by label, so that a merge touches only the entries it relabels.
    std::unordered_map<std::int32_t, std::vector<int>> byLabel_;
};

}  // namespace kq5
