#include "document/component_types.h"

#include <array>

#include "core/char_classes.h"
#include "platform/string_table.h"
#include "document/component_attributes.h"

namespace kq5 {

namespace {

// Per-type counts of the circuit being prepared; the only mutable part of the table.
std::array<std::uint32_t, kComponentTypeCount>& UseCounts()
{
    static std::array<std::uint32_t, kComponentTypeCount> counts{};
    return counts;
}

bool ValidCode(int code) { return code >= 0 && code < kComponentTypeCount; }

}  // namespace

std::span<const ComponentTypeRow> ComponentTypeTable()
{
    return {kComponentTypeTable, static_cast<std::size_t>(kComponentTypeCount)};
}

const ComponentTypeRow* FindComponentTypeRow(int code)
{
    return ValidCode(code) ? &kComponentTypeTable[code] : nullptr;
}

int FindComponentTypeByName(std::string_view name)
{
    if (name.empty()) return -1;
    for (int code = 0; code < kComponentTypeCount; ++code)
        if (EqualsNoCase(kComponentTypeTable[code].name, name)) return code;
    return -1;
}

std::uint32_t ComponentTypeAttribute(int code, int slot)
{
    if (!ValidCode(code) || slot < 0 || slot >= kTypeAttributeSlots) return 0;
    const ComponentTypeRow& row = kComponentTypeTable[code];
    return slot == 0 ? row.mainAttribute : row.attributes[slot - 1];
}

int ModelAttributeOfComponentType(int code)
{
    if (!ValidCode(code) || kComponentTypeTable[code].domain != kDomainDigital) return kAttrModel;
    return IsKindStandardAttribute(code, kAttrTimingModel) ? kAttrTimingModel : kAttrModel;
}

std::uint32_t ComponentTypeHint(int code, int slot)
{
    if (!ValidCode(code) || slot < 0 || slot >= 10) return 0;
    return kComponentTypeTable[code].hints[slot];
}

bool HasNamedPinGroup(int code)
{
    const ComponentTypeRow* row = FindComponentTypeRow(code);
    if (!row || row->pinNames == 0 || (row->flags & kTypeArrayPrimitive) || row->pins <= 0) return false;
    switch (row->pinNames) {
    case kPinNamesConnection:
    case kPinNamesLayout:
    case kPinNamesDefinition:
        return false;
    default:
        return true;
    }
}

std::string ComponentTypePinName(int code, int pin)
{
    if (!HasNamedPinGroup(code) || pin < 0 || pin >= kComponentTypeTable[code].pins) return {};
    auto text = FindStringTableText(static_cast<int>(kComponentTypeTable[code].pinNames) + pin);
    return text ? std::string(*text) : std::string();
}

int PinSignalKindOfType(int code, int pin, std::string_view definitionPinName)
{
    const ComponentTypeRow* row = FindComponentTypeRow(code);
    if (!row) return 0;
    if (row->pinClass != kPinsMixed) return row->pinClass;
    switch (code) {
    case kComponentMacro:
    case kComponentSubckt:
        return !definitionPinName.empty() && (definitionPinName[0] == 'D' || definitionPinName[0] == 'd');
    case kComponentDigitalInput:
        return pin == 3;
    case kComponentDigitalOutput:
        return pin == 2;
    case kComponentAdc:
    case kComponentDac:
        return pin > 2;
    default:
        return row->domain;
    }
}

void ResetComponentTypeUseCounts() { UseCounts().fill(0); }

void CountComponentTypeUse(int code)
{
    if (ValidCode(code)) ++UseCounts()[code];
}

std::uint32_t ComponentTypeUseCount(int code) { return ValidCode(code) ? UseCounts()[code] : 0; }

}  // namespace kq5
