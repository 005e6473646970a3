#pragma once
// Older-generation component files made byte by byte for the merge tests.
#include <array>
#include <string>
#include <vector>

#include "document/component_types.h"
#include "document/binary_io.h"

namespace kq5::testing {

struct OldEntry {
    int type;
    std::string name;
    std::array<int, 4> placement{};
    std::vector<int> order{};
    int flags = 0;
};

// An older file: the header, 200 entries and a pin row per type (Resistor 2 pins, NPN 3, Macro 2).
inline std::string OldFile(const std::vector<OldEntry>& entries, int version = 3)
{
    ByteWriter out;
    out.U16(static_cast<std::uint16_t>(version));
    out.U16(200);
    out.U16(200);
    for (std::size_t n = 0; n < 200; ++n) {
        std::string raw(46, '\0');
        if (n < entries.size()) {
            const OldEntry& e = entries[n];
            ByteWriter fixed;
            fixed.I16(static_cast<std::int16_t>(e.type));
            for (int v : e.placement) fixed.I16(static_cast<std::int16_t>(v));
            const std::string head = fixed.Take();
            raw.replace(0, head.size(), head);
            raw.replace(12, e.name.size(), e.name);
            for (std::size_t i = 0; i < e.order.size(); ++i) raw[29 + i] = static_cast<char>(e.order[i]);
            raw[45] = static_cast<char>(e.flags);
        }
        out.Bytes(raw);
    }
    for (int type = 0; type < kComponentTypeCount; ++type) {
        const int pins = type == kComponentResistor ? 2 : type == kComponentNpn ? 3 : type == kComponentMacro ? 2 : 0;
        out.U16(0);
        out.U16(static_cast<std::uint16_t>(pins));
        for (int i = 0; i < pins; ++i) {
            out.Bytes(std::string(1, static_cast<char>(i)));
            out.Bytes(std::string(1, static_cast<char>(10 * i)));
        }
    }
    return out.Take();
}

}  // namespace kq5::testing
