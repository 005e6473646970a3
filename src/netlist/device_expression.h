#pragma once
// The value of a device that may be an expression: the text as written with the component it
// belongs to (its scope and its error reports), and, once the build has compiled it, the
// compiled form. A device keeps one for its value and, in an AC analysis, one for its
// frequency-dependent value.
#include <memory>
#include <string>

#include "core/expr_compiler.h"

namespace kq5 {

struct SchematicItem;

struct DeviceExpression {
    std::string text;
    SchematicItem* component = nullptr;
    std::unique_ptr<CompiledExpression> compiled;

    bool HasText() const { return !text.empty(); }
    bool Empty() const { return text.empty() && !compiled; }
    void Clear()
    {
        text.clear();
        component = nullptr;
        if (compiled) FreeCompiledExpression(*compiled);
        compiled.reset();
    }
};

// Bit of a device's flag word: its value depends on the frequency of an AC analysis.
inline constexpr std::uint32_t kDeviceFrequencyDependent = 0x1;

// The subtype word that value-carrying devices are made with.
inline constexpr std::int32_t kDeviceValueSubtype = 28;

}  // namespace kq5
