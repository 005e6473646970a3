#pragma once
// A name-to-value table for the circuit build's part and node names.
//
// Large circuits hold hundreds of thousands of names, looked up once or twice each and all
// discarded together. The names' characters sit one after another in a single block and the
// entries (the scope, where the name starts, the value) in one vector in the same order, so
// that a name ends where the next one starts. They are found through an open-addressed index
// of entry numbers: an entry costs its characters and a few words, a lookup takes the name as
// it stands (no copy), and freeing the table releases a few blocks. Each index slot also
// carries the upper half of its name's hash, so that a probe past other names (most part
// lookups are of names not yet present) rarely has to read their characters.
//
// A name inside a subcircuit is stored as its scope and its own part ("X1.X2" and "A" for
// "X1.X2.A"): the scope's path is not copied into every name, so that calls nested deep cost
// memory and time in proportion to their depth, not its square. The hash of a name is that of
// its whole text, so "X1.X2.A" looked up by text finds it too.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/scope_names.h"
#include "document/scope_table.h"

namespace kq5 {

template <typename T>
class NameTable {
public:
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }

    // The value stored under the whole name; null when there is none.
    T* Find(std::string_view name) { return const_cast<T*>(std::as_const(*this).Find(name)); }
    const T* Find(std::string_view name) const { return FindIn(0, name); }
    // The value stored under the name qualified with the scope's path.
    T* FindIn(int scope, std::string_view name) { return const_cast<T*>(std::as_const(*this).FindIn(scope, name)); }
    const T* FindIn(int scope, std::string_view name) const
    {
        if (slots_.empty()) return nullptr;
        const std::uint64_t hash = ScopedNameHash(scope, name);
        const std::size_t length = ScopedNameLength(scope, name);
        std::string whole;  // made only when a name of another scope may spell the same
        for (std::size_t at = hash & Mask();; at = (at + 1) & Mask()) {
            const std::uint64_t slot = slots_[at];
            if (slot == 0) return nullptr;
            if (!SameTag(slot, hash)) continue;
            const Entry& entry = entries_[EntryOf(slot)];
            if (static_cast<int>(entry.scope) == scope && NameOf(entry) == name) return &entry.value;
            if (ScopedNameLength(static_cast<int>(entry.scope), NameOf(entry)) != length) continue;
            if (whole.empty()) whole = QualifyNameWithScope(name, scope);
            if (WholeNameOf(entry) == whole) return &entry.value;
        }
    }

    // Stores value under name unless the name is present already. The stored value, and
    // whether it is new. Throws std::bad_alloc, leaving the table as it was.
    std::pair<T*, bool> Insert(std::string_view name, T value) { return InsertIn(0, name, std::move(value)); }
    // The same for the name qualified with the scope's path.
    std::pair<T*, bool> InsertIn(int scope, std::string_view name, T value)
    {
        if (T* stored = FindIn(scope, name)) return {stored, false};
        // Beyond what a slot can number or an entry can locate.
        if (entries_.size() >= 0xFFFFFFFEu || chars_.size() + name.size() > 0xFFFFFFFFu) throw std::bad_alloc();
        if ((entries_.size() + 1) * 4 > slots_.size() * 3) Grow();
        const std::uint64_t hash = ScopedNameHash(scope, name);
        std::size_t at = hash & Mask();
        while (slots_[at] != 0) at = (at + 1) & Mask();
        const auto start = static_cast<std::uint32_t>(chars_.size());
        chars_.append(name);
        try {
            entries_.push_back(Entry{static_cast<std::uint32_t>(scope > 0 ? scope : 0), start, std::move(value)});
        } catch (...) {
            chars_.resize(start);
            throw;
        }
        slots_[at] = SlotOf(entries_.size() - 1, hash);
        return {&entries_.back().value, true};
    }

    // Stores value under name, replacing a value stored before.
    void Assign(std::string_view name, T value) { AssignIn(0, name, std::move(value)); }
    void AssignIn(int scope, std::string_view name, T value)
    {
        auto [stored, added] = InsertIn(scope, name, value);
        if (!added) *stored = std::move(value);
    }

    void Reserve(std::size_t count)
    {
        entries_.reserve(count);
        if (count * 4 > slots_.size() * 3) Rehash(SlotCountFor(count));
    }

    // Calls f(whole name, value) for every entry in the order of insertion.
    template <class F>
    void ForEach(F&& f) const
    {
        for (const Entry& entry : entries_) f(std::string_view(WholeNameOf(entry)), entry.value);
    }

    // Drops the entries whose value drop(value) holds, the others keeping their order, and
    // gives back the room the dropped ones took. On std::bad_alloc the table stays as it was.
    template <class Drop>
    void EraseIf(Drop&& drop)
    {
        std::size_t kept = 0;
        for (const Entry& entry : entries_)
            if (!drop(entry.value)) ++kept;
        if (kept != entries_.size()) Rebuild(drop, kept);
    }

    // Gives back the room that growing left over, once no more names are expected: the
    // entries and characters take what they need, the index is kept seven eighths full. On
    // std::bad_alloc the table stays as it was.
    void ShrinkToFit()
    {
        if (entries_.capacity() == entries_.size() && chars_.capacity() - chars_.size() < 16 &&
            (entries_.empty() ? slots_.empty() : slots_.size() == SlotCountFor(entries_.size(), 7)))
            return;
        Rebuild([](const T&) { return false; }, entries_.size());
    }

    // Empties the table and gives its memory back.
    void Clear()
    {
        std::vector<Entry>().swap(entries_);
        std::vector<std::uint64_t>().swap(slots_);
        std::string().swap(chars_);
    }

private:
    struct Entry {
        std::uint32_t scope;   // whose path qualifies the name; 0 for a whole name
        std::uint32_t start;   // of the name in chars_
        T value;
    };

    // An entry's name runs up to where the next entry's starts (the names lie in entry order).
    // The entry must be one of entries_.
    std::string_view NameOf(const Entry& entry) const
    {
        const auto next = static_cast<std::size_t>(&entry - entries_.data()) + 1;
        const std::size_t end = next < entries_.size() ? entries_[next].start : chars_.size();
        return std::string_view(chars_).substr(entry.start, end - entry.start);
    }
    std::string WholeNameOf(const Entry& entry) const
    {
        return QualifyNameWithScope(NameOf(entry), static_cast<int>(entry.scope));
    }
    std::uint64_t HashOf(const Entry& entry) const { return ScopedNameHash(static_cast<int>(entry.scope), NameOf(entry)); }

    // A slot: entry number + 1 in the low half (0 = free), the hash's upper half above it.
    static std::uint64_t SlotOf(std::size_t entry, std::uint64_t hash)
    {
        return (hash & 0xFFFFFFFF00000000u) | (static_cast<std::uint64_t>(entry) + 1);
    }
    static bool SameTag(std::uint64_t slot, std::uint64_t hash) { return ((slot ^ hash) >> 32) == 0; }
    static std::size_t EntryOf(std::uint64_t slot) { return static_cast<std::size_t>(slot & 0xFFFFFFFFu) - 1; }

    std::size_t Mask() const { return slots_.size() - 1; }

    // A power of two that keeps count entries at most eighths/8 full: three quarters for a table
    // that grows, seven eighths for one kept, as it was left, for look-ups (the next insertion
    // grows it).
    static std::size_t SlotCountFor(std::size_t count, std::size_t eighths = 6)
    {
        std::size_t slots = 16;
        while (count * 8 > slots * eighths) slots *= 2;
        return slots;
    }

    void Grow() { Rehash(slots_.empty() ? 16 : slots_.size() * 2); }

    void Rehash(std::size_t slotCount)
    {
        std::vector<std::uint64_t> slots(slotCount, 0);
        slots_.swap(slots);
        IndexEntries();
    }

    // Enters every entry in the slots, all free beforehand.
    void IndexEntries()
    {
        for (std::size_t e = 0; e < entries_.size(); ++e) {
            const std::uint64_t hash = HashOf(entries_[e]);
            std::size_t at = hash & Mask();
            while (slots_[at] != 0) at = (at + 1) & Mask();
            slots_[at] = SlotOf(e, hash);
        }
    }

    // Copies the kept entries (kept of them) into blocks of their exact size and indexes them
    // seven eighths full.
    template <class Drop>
    void Rebuild(Drop&& drop, std::size_t kept)
    {
        std::size_t keptChars = 0;
        for (const Entry& entry : entries_)
            if (!drop(entry.value)) keptChars += NameOf(entry).size();
        std::string chars;
        std::vector<Entry> entries;
        std::vector<std::uint64_t> slots;
        try {
            chars.reserve(keptChars);
            entries.reserve(kept);
            if (kept > 0) slots.assign(SlotCountFor(kept, 7), 0);
        } catch (const std::bad_alloc&) {
            return;
        }
        for (Entry& entry : entries_) {
            if (drop(entry.value)) continue;
            const auto start = static_cast<std::uint32_t>(chars.size());
            chars.append(NameOf(entry));
            entries.push_back(Entry{entry.scope, start, std::move(entry.value)});
        }
        chars_.swap(chars);
        entries_.swap(entries);
        slots_.swap(slots);
        IndexEntries();
    }

    std::string chars_;  // every name, one after another
    std::vector<Entry> entries_;
    std::vector<std::uint64_t> slots_;
};

}  // namespace kq5
