#pragma once
// State of the SPICE text reader and the circuit expansion: the stack of open sources, the
// token array, the flags the analysis lines leave, the element parser's working values, the
// circuit's text objects, the define table, the name tables of the expansion and the
// initial-condition lines. One text pass or expansion runs at a time.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/linked_list.h"
#include "netlist/circuit_text_object.h"
#include "netlist/name_table.h"

namespace kq5 {

struct ComponentDefinition;
struct SchematicItem;
struct WindowRecord;
struct CircuitDocument;
struct GridText;
struct PartInstanceRecord;

// The circuit text and at most 14 nested .INCLUDE files above it.
inline constexpr int kMaxIncludeLevel = 14;

// A line of circuit text kept with the circuit: dot commands of a text netlist, lines of the
// definitions file, texts copied from a macro. Beyond the common fields it records the node a
// schematic text stood on and the source file of a line read from a file.
inline constexpr std::uint16_t kTextOriginNone = 0xFFFF;
struct NetlistTextObject : CircuitTextObject {
    std::int32_t node = -1;          // node a grid text was placed on; -1 none
    bool nodeLabel = false;          // the text names its node
    bool renumbered = false;         // moved onto a pin's node by the macro mapping
    bool disabled = false;
    std::uint16_t origin = kTextOriginNone;  // 0xFFFF: not copied from a grid text
    const GridText* gridText = nullptr;      // the schematic's grid text the line is, shown at errors
    std::string sourceFile;          // file a line came from; empty for the circuit's own text

    void FreeOwnedData() override
    {
        text.clear();
        sourceFile.clear();
    }
};

// One .DEFINE, .PARAM or subcircuit parameter symbol.
inline constexpr int kDefineClassDefine = 0;
inline constexpr int kDefineClassParam = 1;
inline constexpr int kDefineClassExportParam = 2;
struct DefineRow {
    std::string name;                     // upper case
    std::int16_t argumentCount = 0;
    bool emptyParentheses = false;        // written "NAME()"
    std::vector<std::string> arguments;   // upper case
    std::string display;                  // the name with its argument list, for messages
    std::string body;                     // upper case
    std::int32_t scope = 0;
    const SchematicItem* originItem = nullptr;      // component the symbol came from
    const CircuitTextObject* originText = nullptr;  // or text line, shown at errors
    std::int16_t originKind = -1;
    std::int16_t defineClass = kDefineClassDefine;
};

// A node name registered by the expansion: the electrical net (group) it belongs to and the
// scope it was named in. The row index is the node's number until the domains are numbered.
struct ExpansionNode {
    std::uint32_t nameStart = 0;   // of the row's own name in the reader's nodeNameChars
    std::uint32_t nameLength = 0;
    std::int32_t group = 0;        // 0 ground
    std::int32_t scope = 0;
    std::int32_t pathScope = 0;    // whose instance path qualifies the name (0: none, as for globals)
};

// Per-group results of the domain checks.
inline constexpr std::uint8_t kPinGroupAnalog = 0x01;
inline constexpr std::uint8_t kPinGroupDigital = 0x02;
inline constexpr std::uint8_t kGroupDrivenDigital = 0x04;
struct NodeGroup {
    std::uint8_t pins = 0;          // kGroup* marks of the pins on the group
    std::int8_t domain = -1;        // 0 analog, 1 digital, -1 not yet numbered
    std::int32_t number = 0;        // number in its domain
};

// A .SUBCKT definition found in a file (or a file it includes).
struct SubcktDefinition {
    std::string name;
    std::string file;
    long position = -1;      // read position of the .SUBCKT line
    int line = 0;            // its line counter
    long endsPosition = -1;  // read position of its .ENDS line; -1 when missing
    int endsLine = 0;        // the line counter there
    int parent = -1;         // enclosing definition in the same index; -1 at the top
    bool holdsDefinitions = false;  // some definition is nested in this one
};

// The definitions of one file, indexed once per build.
struct SubcktFileIndex {
    std::string path;
    std::vector<SubcktDefinition> definitions;
    // The first definition of each name in each enclosing definition, and each definition by
    // where it starts, so that deep nesting costs no search through all of them.
    std::unordered_map<std::string, int> byParentAndName;
    std::unordered_map<std::string, int> byStart;
    // The second definition of a name in the same enclosing definition, which is not used.
    std::unordered_map<std::string, int> repeated;
};

// What the expansion of a schematic macro keeps beside its scope.
struct MacroExpansion {
    std::string baseName;                    // macro file name without directory and extension
    std::vector<std::int32_t> pinMap;        // macro node per instance pin, -1 unbound
    WindowRecord* macroCircuit = nullptr;    // loaded macro document
    std::vector<std::int32_t> macroNodeMap;  // macro node number -> circuit node number
};

// The expansion's view of a subcircuit scope beside the shared scope table entry. A circuit of
// many calls keeps one per call, so the macro's part is made only for a macro.
struct ScopeExpansion {
    SchematicItem* call = nullptr;        // the X line or schematic component
    int kind = 0;                         // component type of the call (subckt or Macro)
    int definitionFile = -1;              // index of the definition that was expanded
    int definitionIndex = -1;
    std::unique_ptr<MacroExpansion> macro;

    MacroExpansion& Macro()
    {
        if (!macro) macro = std::make_unique<MacroExpansion>();
        return *macro;
    }
    // The macro's part; an empty one for a subcircuit call.
    const MacroExpansion& MacroPart() const
    {
        static const MacroExpansion none;
        return macro ? *macro : none;
    }
};

// A node of the search trees of enclosing definitions (NetlistReaderState): a definition's key,
// and the nodes before and after it (-1 none).
struct EnclosingDefinitionNode {
    std::uint64_t key = 0;
    std::int32_t left = -1;
    std::int32_t right = -1;
};

// Where a message about the line being read is located.
struct SourceLocation {
    std::string source;
    int line = -1;  // logical-line start (0-based); -1 when none
};

// One deferred .IC or .NODESET line.
struct DeferredInitialLine {
    std::int32_t scope = 0;
    std::string text;  // upper case, blanks squeezed
    SourceLocation location;
};

// One initial condition: a node, node pair or inductor with its start value.
struct InitialConditionEntry {
    char letter = 'V';               // 'V', 'D' or 'I'
    double value = 0.0;
    std::int16_t digitalState = 0;   // index in "0RF1XZ?"
    const SchematicItem* inductor = nullptr;
    ListNode* inductorDevice = nullptr;
    std::int32_t nodeA = 0;
    std::int32_t nodeB = 0;
    std::int16_t kind = 1;           // 1 .IC, 2 .NODESET
};

struct InitialConditionTable {
    std::vector<InitialConditionEntry> entries;
    bool anyIc = false;
    bool anyNodeset = false;
};

struct NetlistReaderState {
    // Sources.
    int includeLevel = -1;
    std::array<int, kMaxIncludeLevel + 1> includeUnits{};
    int logicalLineStart = 0;
    bool lineCleanupOff = false;  // the SPICE export copies text as it stands
    // The files the .INCLUDE lines of one build have read, with the scope that read them: a
    // file that two others include (a part kit and the circuit both naming one model file) is
    // read once in each scope, not taken for a second set of definitions.
    std::vector<std::pair<int, std::string>> includedFiles;

    // Token array.
    std::vector<std::string> tokens;
    bool tokenArrayMade = false;

    // Text pass.
    bool operatingPointRequested = false;
    bool transientGiven = false;
    // Where the .TRAN, .AC and .DC lines of the circuit stand (by analysis kind): a run that
    // cannot take the limits they gave names them.
    std::array<SourceLocation, 3> analysisStatements;
    // Where the .NOISE line stands: its output node and input source are named by it.
    SourceLocation noiseStatement;
    int printPlotCounter = 0;
    bool printVariableUsed = false;
    std::array<int, 3> printPlotRows{};
    bool useInitialConditions = false;  // UIC
    bool loadOperatingPoint = false;    // .LOADOP
    bool skipInductorLoopCheck = false; // .SKIP_L_LOOP
    bool groundUsed = false;

    // Element parsers.
    SchematicItem* currentElement = nullptr;
    int generatedDefinitionCounter = 1;
    int interfaceCounter = 0;
    int cachedDefinitionType = -1;
    ComponentDefinition* cachedDefinition = nullptr;
    // The first library definition of each type looked up (null: none), so that elements of
    // types the library lacks do not walk the definitions generated per call.
    std::unordered_map<int, ComponentDefinition*> definitionsByType;
    std::unordered_set<const ComponentDefinition*> generatedDefinitions;
    // The definitions generated for X lines by a hash of their pin names (CallDefinition).
    std::unordered_multimap<std::size_t, ComponentDefinition*> callDefinitions;
    // Where each element read from text came from. There is one entry per element of the
    // circuit for as long as it is built, so an entry is kept small: the file name is an
    // index into originSources, where each name is stored once. Elements are mostly made at
    // rising addresses: those are kept in a vector in that order, the others in a map.
    struct ElementOriginEntry {
        std::uint32_t source = 0;
        std::int32_t line = -1;
    };
    struct OrderedElementOrigin {
        const SchematicItem* item = nullptr;
        ElementOriginEntry origin;
    };
    std::vector<OrderedElementOrigin> elementOrigins;
    std::unordered_map<const SchematicItem*, ElementOriginEntry> unorderedElementOrigins;
    std::vector<std::string> originSources;

    // Errors.
    SourceLocation errorLocation;

    // Libraries named by .LIB lines of the circuit (full paths).
    std::vector<std::string> libraries;

    // Text objects of the circuit being built.
    LinkedList textObjects{NewListRecord<NetlistTextObject>};
    // How many of them were placed on a node (node labels of schematic macros); while none
    // is, a name needs no walk over every text object to know it labels no node.
    std::size_t nodePlacedTexts = 0;

    // Scopes.
    int currentScope = 0;
    std::deque<ScopeExpansion> scopes;  // a deque: a scope's record stays where it is as calls add more
    // The definitions that a scope and the scopes around it expand, for the check that a call
    // does not expand a definition it sits in: by scope, the root of a search tree in
    // enclosingDefinitionNodes (-1 empty, -2 not made yet). A scope's tree shares its parent's
    // nodes but for the path to its own definition, so calls nested deep cost a few nodes each,
    // and only scopes that hold calls get one.
    std::vector<std::int32_t> enclosingDefinitions;
    std::vector<EnclosingDefinitionNode> enclosingDefinitionNodes;
    // By scope: the nearest scope, the scope itself or one around it, whose definition holds
    // nested definitions, where a call's definition is looked for first (0 none; -2 not made yet).
    std::vector<std::int32_t> nestingScopes;

    // Subcircuit definitions of the files searched so far.
    std::vector<SubcktFileIndex> subcktIndexes;
    // The subcircuit names whose definition was checked this build for a different one that is
    // not used.
    std::unordered_set<std::string> checkedLibraryDefinitions;

    // Defines.
    std::vector<DefineRow> defines;
    // The rows of `defines` by name, in table order: those of class define by scope, the others
    // apart. Rows are only appended or all cleared; rows appended since the last look-up are
    // indexed by the next one. Netlists of many calls with parameters keep thousands of rows.
    struct DefineNameRows {
        std::unordered_map<std::int32_t, std::vector<std::uint32_t>> byScope;
        std::vector<std::uint32_t> anyScope;
        // The same rows by the scope they were written in.
        std::unordered_map<std::int32_t, std::vector<std::uint32_t>> anyScopeByScope;
    };
    std::unordered_map<std::string, DefineNameRows> defineIndex;
    std::size_t definesIndexed = 0;
    bool keepTextMode = false;
    bool libraryParamsLoaded = false;
    bool loadingLibraryParams = false;
    bool renameDefinesRequested = false;
    bool renamePartsRequested = false;
    bool renameUnderWay = false;
    bool exportInProgress = false;

    // Nodes and names.
    std::vector<ExpansionNode> nodes;
    std::string nodeNameChars;  // the rows' own names, one after another
    NameTable<std::int32_t> nodeNames;
    NameTable<PartInstanceRecord*> partNames;
    std::vector<std::int32_t> groupParent;  // nets joined by binding; group 0 is ground
    std::vector<NodeGroup> groups;          // by root group, filled by the domain checks
    bool nodesNumbered = false;  // pin nodes hold domain numbers now
    std::int32_t analogNodeCount = 0;
    std::int32_t digitalNodeCount = 0;
    std::array<std::int32_t, 4> digitalConstantNodes{-1, -1, -1, -1};  // $D_HI, $D_LO, $D_X, $D_NC
    std::vector<std::string> powerNodes;  // nodes that must carry a source
    // Schematic node numbers (the circuit's and those given to macro nodes) and their nets.
    std::vector<std::int32_t> circuitNodeGroups;
    std::int32_t circuitNodeCounter = 0;
    // Names that node labels and node texts give their nets, upper-cased, keyed by
    // "scope:name", with the number of the net each names.
    std::unordered_map<std::string, std::int32_t> textNodeNames;

    // Initial conditions.
    std::vector<DeferredInitialLine> deferredInitialLines;
    InitialConditionTable initialConditions;

    NetlistReaderState();
};

NetlistReaderState& NetlistReader();
void ResetNetlistReaderForTests();

// The circuit's text objects (NetlistTextObject nodes) in the order they were made.
LinkedList& CircuitTextObjects();
// Empties the text objects of the circuit.
void ClearCircuitTextObjects();

// The expansion record of a scope, made on first use; null for a negative index.
ScopeExpansion* ScopeExpansionOf(int scope);
// The name of the subcircuit a scope expands: its definition's for a call, the macro's file base
// name in upper case for a macro; empty when none.
std::string ExpandedSubcktName(const ScopeExpansion& info);

// The current subcircuit scope of the reader.
int CurrentScope();
void SetCurrentScope(int scope);

// Where an element component came from; nothing for components not read from text.
std::optional<SourceLocation> ElementOrigin(const SchematicItem* item);
bool HasElementOrigin(const SchematicItem* item);
// Records where an element came from (a later record of the same element wins); may throw
// std::bad_alloc.
void AddElementOrigin(const SchematicItem* item, std::uint32_t source, std::int32_t line);
// Gives the element the origin of another recorded a moment before; may throw std::bad_alloc.
void CopyElementOrigin(const SchematicItem* item, const SchematicItem* from);
// Forgets every origin, with the room they took.
void ClearElementOrigins();
// Gives back the room the origins grew into beyond their number.
void ShrinkElementOrigins();
// Drops the entries of the items for which gone(item) is true (items about to be freed).
void ForgetElementOrigins(const std::function<bool(const SchematicItem*)>& gone);

}  // namespace kq5
