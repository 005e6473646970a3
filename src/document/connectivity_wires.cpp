// Wire labels: after the pins have their node labels, every wire takes the label (and the
// digital flag) of a pin or of an already labelled wire at one of its ends.
#include <new>
#include <unordered_map>
#include <vector>

#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/connectivity_internal.h"
#include "document/schematic_item.h"
#include "document/component_types.h"

namespace kq5 {

namespace {

struct Found {
    std::int32_t label = kNoLabel;
    bool digital = false;
};

class WirePropagation {
public:
    explicit WirePropagation(CircuitDocument& document)
    {
        for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
            if (item.page < 0 || item.hidden != 0) continue;
            if (item.itemKind == kItemWire) {
                wires_.push_back(&item);
                AddToBucket(item.y1, &item);
                AddToBucket(item.y2, &item);
            } else if (item.itemKind == kItemComponent) {
                if (ItemComponentType(&item) == kComponentTie) ties_.push_back(&item);
                for (int pin = 0; pin < item.PinCount(); ++pin) AddToBucket(GetPinPosition(&item, pin).y, &item);
            }
        }
    }

    void Run()
    {
        bool firstPass = true;
        bool tiesTried = false;
        while (true) {
            bool changed = false;
            for (SchematicItem* wire : wires_) {
                if (wire->wireLabel != kNoLabel) continue;
                Found found = FindNodeAtPoint(wire->x1, wire->y1, wire->page, firstPass);
                if (found.label == kNoLabel) found = FindNodeAtPoint(wire->x2, wire->y2, wire->page, firstPass);
                if (found.label == kNoLabel) continue;
                Give(*wire, found);
                changed = true;
            }
            firstPass = false;
            if (changed) continue;
            if (tiesTried || ties_.empty()) break;
            tiesTried = true;
            if (!ResolveWiresThroughTies()) break;
        }
    }

private:
    void AddToBucket(std::int32_t y, SchematicItem* item)
    {
        if (y < 0) return;
        std::vector<SchematicItem*>& bucket = buckets_[y];
        if (bucket.empty() || bucket.back() != item) bucket.push_back(item);
    }

    static void Give(SchematicItem& wire, const Found& found)
    {
        wire.wireLabel = found.label;
        wire.style = static_cast<std::uint16_t>(found.digital ? (wire.style | kStyleWireDigital)
                                                              : (wire.style & ~kStyleWireDigital));
    }

    // The first item at the point, in bucket order: a component pin (first pass only) or a wire
    // that already has its label.
    Found FindNodeAtPoint(std::int32_t x, std::int32_t y, std::int16_t page, bool withPins) const
    {
        auto bucket = buckets_.find(y);
        if (bucket == buckets_.end()) return {};
        for (const SchematicItem* item : bucket->second) {
            if (item->page != page) continue;
            if (item->itemKind == kItemWire) {
                const bool atEnd = (item->x1 == x && item->y1 == y) || (item->x2 == x && item->y2 == y);
                if (atEnd && item->wireLabel != kNoLabel)
                    return {item->wireLabel, (item->style & kStyleWireDigital) != 0};
                continue;
            }
            if (!withPins) continue;
            for (int pin = 0; pin < item->PinCount(); ++pin) {
                const win::POINT at = GetPinPosition(item, pin);
                const std::int32_t label = item->pinNodes[static_cast<std::size_t>(pin)];
                if (at.x == x && at.y == y && label != kNoLabel)
                    return {label, GetPinSignalKind(item, pin) == kNodeDigital};
            }
        }
        return {};
    }

    // A wire that ends on a tie takes the label found at another tie of the same name.
    bool ResolveWiresThroughTies()
    {
        bool any = false;
        for (SchematicItem* wire : wires_) {
            if (wire->wireLabel != kNoLabel) continue;
            for (const SchematicItem* tie : ties_) {
                const win::POINT at = TiePoint(*tie);
                const bool touches = tie->page == wire->page && ((wire->x1 == at.x && wire->y1 == at.y) ||
                                                                 (wire->x2 == at.x && wire->y2 == at.y));
                if (!touches) continue;
                const Found found = ResolveWireThroughTie(*tie);
                if (found.label == kNoLabel) continue;
                Give(*wire, found);
                any = true;
                break;
            }
        }
        return any;
    }

    Found ResolveWireThroughTie(const SchematicItem& tie) const
    {
        for (const SchematicItem* other : ties_) {
            if (other == &tie || !IsSameTie(tie, *other)) continue;
            const win::POINT at = TiePoint(*other);
            const Found found = FindNodeAtPoint(at.x, at.y, other->page, true);
            if (found.label != kNoLabel) return found;
        }
        return {};
    }

    std::vector<SchematicItem*> wires_;
    std::vector<const SchematicItem*> ties_;
    // Items with a point at each y; far-apart coordinates cost nothing.
    std::unordered_map<std::int32_t, std::vector<SchematicItem*>> buckets_;
};

}  // namespace

int PropagateWireNodes(WindowRecord* record)
{
    if (!record || !record->document || record->kind == kWindowTextCircuit) return 0;
    try {
        WirePropagation propagation(*record->document);
        propagation.Run();
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

}  // namespace kq5
