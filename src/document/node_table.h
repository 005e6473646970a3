#pragma once
// Node names and node labels: the circuit's node-name table, filled when the circuit build
// resolves node names and looked up by name or number, and the text shown for a node of the
// schematic node table.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/circuit_document.h"

namespace kq5 {

// The name of a node row in one word: a name of up to seven characters (nearly every name a
// netlist gives, and a subcircuit's own node names) sits in the word itself, a longer one in a
// block of its own that the word points to. A circuit of many calls has a row for every node
// of every call, so the row is kept to a few words.
class CompactNodeName {
public:
    CompactNodeName() { SetInline({}); }
    CompactNodeName(std::string_view text) { Set(text); }
    CompactNodeName(const std::string& text) : CompactNodeName(std::string_view(text)) {}
    CompactNodeName(const char* text) : CompactNodeName(std::string_view(text)) {}
    CompactNodeName(const CompactNodeName& other) : CompactNodeName(other.view()) {}
    CompactNodeName(CompactNodeName&& other) noexcept : word_(other.word_) { other.SetInline({}); }
    CompactNodeName& operator=(const CompactNodeName& other)
    {
        if (this != &other) *this = CompactNodeName(other);
        return *this;
    }
    CompactNodeName& operator=(CompactNodeName&& other) noexcept
    {
        std::swap(word_, other.word_);
        return *this;
    }
    ~CompactNodeName() { Free(); }

    std::string_view view() const;
    std::string str() const { return std::string(view()); }
    operator std::string_view() const { return view(); }
    operator std::string() const { return str(); }
    bool empty() const { return view().empty(); }
    std::size_t size() const { return view().size(); }
    friend bool operator==(const CompactNodeName& a, std::string_view b) { return a.view() == b; }

private:
    // The top bit of the word's last byte marks a name held in the word: a heap address in a
    // Linux process never has it set.
    static constexpr unsigned char kInline = 0x80;
    static constexpr std::size_t kInlineMax = 7;

    bool IsInline() const { return (Byte(7) & kInline) != 0; }
    unsigned char Byte(std::size_t i) const;
    void SetInline(std::string_view text);
    void Set(std::string_view text);
    void Free();

    std::uint64_t word_ = 0;
};

// One named node: its name, number, scope and domain. A node named inside a subcircuit keeps
// only its own name and the scope whose instance path qualifies it, so that nodes of calls
// nested deep do not each hold the whole path: its full (dotted) name is WholeName().
struct NodeNameRow {
    CompactNodeName name;         // the full name when pathScope is 0, else the part after the path
    std::int32_t number = 0;
    std::int32_t scope = 0;
    std::int16_t domain = 0;
    std::int32_t pathScope = 0;   // whose instance path qualifies the name (0: none)

    std::string WholeName() const;
};

// Row 0 is ground, named "0".
struct NodeTable {
    std::vector<NodeNameRow> rows;
};

// The node-name table of the circuit being built (kept with the connectivity state).
NodeTable& CircuitNodeTable();

// The first row with that domain, scope and number gives its name after the last "."; failing
// that the first row with that domain and number gives its whole name; else "".
std::string FindNodeName(const NodeTable& table, std::int32_t number, int scope, int domain);
// The same with both scans running from the last row to the first.
std::string FindNodeNameFromEnd(const NodeTable& table, std::int32_t number, int scope, int domain);
// "0" gives 0; otherwise the name, qualified with the instance path of subcircuit scope
// `level` when level is above 0, is looked up among the rows of the domain (case-blind).
// -1 when none.
std::int32_t LookupNodeNumber(const NodeTable& table, std::string_view name, int level, int domain);

// The digital simulator's number of a digital node of the schematic node table: the build
// numbers digital nets apart from analog ones, so the two differ wherever analog nodes come
// first. -1 when the last build did not name it.
std::int32_t SimulatorDigitalNode(std::int32_t schematicNumber);

// Flag bits of FormatNodeLabel.
inline constexpr unsigned kNodeLabelNumber = 0x1;  // the node number (and interface suffix)
inline constexpr unsigned kNodeLabelValue = 0x2;   // ":" and the node's voltage or state

// Appends "$DTOA" (direction 2) or "$ATOD" (direction 1); nothing for other directions.
void AppendInterfaceModelName(std::string& text, int direction);

// The text shown beside a node: its number, and its value, the voltage taken from the
// analysis solution while an analysis is set up, else the row's stored voltage; a digital
// node shows its state letter.
std::string FormatNodeLabel(const SchematicNodeRow& row, unsigned flags);

}  // namespace kq5
