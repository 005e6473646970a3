#include "document/node_table.h"

#include <bit>
#include <cstring>

#include "core/analysis_state.h"
#include "ui/preference_values.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/digital_logic_tables.h"
#include "core/digital_node_states.h"
#include "document/scope_names.h"
#include "document/scope_table.h"

namespace kq5 {

namespace {

std::string AfterLastDot(std::string_view name)
{
    std::size_t dot = name.rfind('.');
    return std::string(dot == std::string::npos ? name : name.substr(dot + 1));
}

// The part of a full name after its last "." is that of the row's own name: a path only adds
// to the front.
template <class Rows>
std::string FindNodeNameIn(const Rows& rows, std::int32_t number, int scope, int domain)
{
    for (const NodeNameRow& row : rows)
        if (row.domain == domain && row.scope == scope && row.number == number) return AfterLastDot(row.name);
    for (const NodeNameRow& row : rows)
        if (row.domain == domain && row.number == number) return row.WholeName();
    return {};
}

bool WholeNameEqualsNoCase(const NodeNameRow& row, std::string_view text)
{
    return row.pathScope <= 0 ? EqualsNoCase(row.name, text) : ScopedNameMatches(row.pathScope, row.name, text, true);
}

template <class Rows>
struct Reversed {
    const Rows& rows;
    auto begin() const { return rows.rbegin(); }
    auto end() const { return rows.rend(); }
};

}  // namespace

static_assert(std::endian::native == std::endian::little, "a name in the word ends at its last byte");

unsigned char CompactNodeName::Byte(std::size_t i) const { return reinterpret_cast<const unsigned char*>(&word_)[i]; }

void CompactNodeName::SetInline(std::string_view text)
{
    word_ = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&word_);
    if (!text.empty()) std::memcpy(bytes, text.data(), text.size());  // an empty view may hold no pointer
    bytes[7] = static_cast<unsigned char>(kInline | text.size());
}

void CompactNodeName::Set(std::string_view text)
{
    if (text.size() <= kInlineMax) {
        SetInline(text);
        return;
    }
    // The block: the length, then the characters.
    const auto length = static_cast<std::uint32_t>(text.size());
    auto* block = new char[sizeof length + text.size()];
    std::memcpy(block, &length, sizeof length);
    std::memcpy(block + sizeof length, text.data(), text.size());
    word_ = reinterpret_cast<std::uintptr_t>(block);
}

void CompactNodeName::Free()
{
    if (!IsInline()) delete[] reinterpret_cast<char*>(static_cast<std::uintptr_t>(word_));
    SetInline({});
}

std::string_view CompactNodeName::view() const
{
    if (IsInline()) return std::string_view(reinterpret_cast<const char*>(&word_), Byte(7) & ~kInline & 0xFF);
    const char* block = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(word_));
    std::uint32_t length = 0;
    std::memcpy(&length, block, sizeof length);
    return std::string_view(block + sizeof length, length);
}

std::string NodeNameRow::WholeName() const { return QualifyNameWithScope(name, pathScope); }

std::string FindNodeName(const NodeTable& table, std::int32_t number, int scope, int domain)
{
    return FindNodeNameIn(table.rows, number, scope, domain);
}

std::string FindNodeNameFromEnd(const NodeTable& table, std::int32_t number, int scope, int domain)
{
    return FindNodeNameIn(Reversed<std::vector<NodeNameRow>>{table.rows}, number, scope, domain);
}

std::int32_t LookupNodeNumber(const NodeTable& table, std::string_view name, int level, int domain)
{
    if (name == "0") return 0;
    const std::string qualified = level > 0 ? QualifyNameWithScope(name, level) : std::string(name);
    for (const NodeNameRow& row : table.rows)
        if (row.domain == domain && WholeNameEqualsNoCase(row, qualified)) return row.number;
    return -1;
}

std::int32_t SimulatorDigitalNode(std::int32_t schematicNumber)
{
    if (schematicNumber <= 0) return -1;
    return LookupNodeNumber(CircuitNodeTable(), std::to_string(schematicNumber), 0, 1);
}

void AppendInterfaceModelName(std::string& text, int direction)
{
    if (direction == kInterfaceDtoA)
        text += "$DTOA";
    else if (direction == kInterfaceAtoD)
        text += "$ATOD";
}

std::string FormatNodeLabel(const SchematicNodeRow& row, unsigned flags)
{
    std::string text;
    if (flags & kNodeLabelNumber) {
        text = std::to_string(row.nodeNumber);
        AppendInterfaceModelName(text, row.direction);
    }
    if (!(flags & kNodeLabelValue)) return text;
    if (flags & kNodeLabelNumber) text += ':';
    const auto index = static_cast<std::size_t>(row.nodeNumber);
    const AnalysisState& analysis = Analysis();
    if (row.kind == kNodeDigital) {
        // Once the analysis has ended its simulator is gone: the state kept with the row shows.
        std::uint16_t state = static_cast<std::uint16_t>(row.voltage);
        const std::vector<std::uint16_t>& states = DigitalSimulator().current;
        const std::int32_t node = analysis.analysisKind != kAnalysisNone ? SimulatorDigitalNode(row.nodeNumber) : -1;
        if (node >= 0 && static_cast<std::size_t>(node) < states.size()) state = states[static_cast<std::size_t>(node)];
        text += DigitalStateChar(state);
        return text;
    }
    double voltage = row.voltage;
    if (analysis.analysisKind != kAnalysisNone && row.nodeNumber >= 0 && index < analysis.solution.real.size())
        voltage = analysis.solution.real[index];
    text += FormatNumber(voltage, PreferenceSettings().nodeVoltageFormat, 0);
    return text;
}

}  // namespace kq5
