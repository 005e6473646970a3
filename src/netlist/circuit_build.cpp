#include "netlist/circuit_build.h"
#include "netlist/spice_messages.h"

#include <algorithm>
#include <new>

#include "core/analysis_state.h"
#include "ui/program_settings.h"
#include "document/usage_report.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "core/device_lists.h"
#include "core/expr_compiler.h"
#include "core/expr_math_errors.h"
#include "core/format.h"
#include "core/char_classes.h"
#include "core/expr_symbols.h"
#include "document/grid_text.h"
#include "document/part_numbering.h"
#include "document/label_names.h"
#include "core/message_reporter.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/inductor_device.h"
#include "netlist/resistor_device.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "platform/message_box.h"
#include "netlist/circuit_build_expressions.h"
#include "netlist/circuit_device_services.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/poly_source.h"
#include "document/scope_table.h"
#include "netlist/spice_analysis_commands.h"
#include "netlist/spice_elements.h"
#include "netlist/spice_initial_conditions.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_text_pass.h"
#include "netlist/subcircuit_nodes.h"
#include "netlist/subcircuit_scopes.h"
#include "netlist/token_patterns.h"
#include "netlist/topology.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

constexpr int kMsgAcNeedsAnalogNode = 10832;
constexpr int kMsgCoreValueNotPositive = 10807;
constexpr int kMsgTurnsBelowOne = 10848;
constexpr int kMsgHiddenNodeMissing = 10860;
constexpr int kMsgAcSignalsZero = 11891;
constexpr int kBuildErrorBase = 10830;

CircuitBuildState& State()
{
    static CircuitBuildState state;
    return state;
}

bool IsTextCircuit(const WindowRecord* record) { return record && record->kind == kWindowTextCircuit; }

// The unresolved global pin that connectivity left is reported before anything is built.
bool ReportMissingHiddenNode(const char* spec)
{
    const ConnectivityState& connectivity = Connectivity();
    if (!connectivity.unresolvedGlobalPinItem) return false;
    if (spec[0] == 'W')
        ReportMessage("WNE", CurrentRecord(), connectivity.unresolvedGlobalPinItem, kMsgHiddenNodeMissing,
                      connectivity.unresolvedGlobalPinName);
    else
        ReportMessage("NE", connectivity.unresolvedGlobalPinItem, kMsgHiddenNodeMissing,
                      connectivity.unresolvedGlobalPinName);
    FlagCircuitBuildError();
    return true;
}

// Everything after the item (or the whole list for a null mark) was appended by the build.
void RemoveItemsAfter(CircuitDocument& document, SchematicItem* mark)
{
    ListNode* node = mark ? mark->next : document.itemList.head;
    while (node) node = ListRemove(document.itemList, node);
}

// Hidden attributes that the build gave components (call mappings, interface marks) begin with
// '$' or a blank.
void RemoveBuildAttributes(CircuitDocument& document)
{
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        ListNode* node = item.attributes.head;
        while (node) {
            auto* attribute = static_cast<ComponentAttribute*>(node);
            const std::string_view name = AttributeName(*attribute);
            const bool byBuild = !name.empty() && (name.front() == '$' || name.front() == ' ');
            node = byBuild ? ListRemove(item.attributes, node) : node->next;
        }
    }
}

void MarkDocumentState(WindowRecord* record)
{
    CircuitBuildState& build = State();
    CircuitDocument* document = record ? record->document.get() : nullptr;
    build.buildWindow = record;
    build.itemMark = document ? static_cast<SchematicItem*>(document->itemList.tail) : nullptr;
    build.textMark = nullptr;
    build.marksSet = document != nullptr;
}

int EquationSize()
{
    return std::max(EquationCount(), AnalogNodeCount());
}

// Only the solution vectors are made here; the analysis sizes its own working vectors and
// charge states when it prepares the solver.
void AllocateSolutionVectors()
{
    try {
        const std::size_t n = static_cast<std::size_t>(EquationSize()) + 3;
        // Compiled node operands point into the solution vectors, so they are sized before the
        // device expressions are compiled and keep their place for the run.
        Analysis().solution.real.assign(n, 0.0);
        if (Analysis().analysisKind == kAnalysisAc) Analysis().solution.complex.assign(n, {});
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildOutOfMemory();
    }
}

// The nominal values of the inductors that stepping and Monte Carlo runs start from.
void SaveRlcValues()
{
    for (InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) l.nominal = l.value;
}

// A core whose area, path, saturation magnetisation, shape or pinning value is zero or below
// describes no magnetic core: the field, the magnetisation and the winding's inductance would
// divide by them or change sign.
bool CoreModelSizesPositive(const EvaluatedModel& m)
{
    // CORE parameters: AREA 1, PATH 2, MS 5, A 6, K 8.
    for (int index : {1, 2, 5, 6, 8}) {
        if (static_cast<std::size_t>(index) >= m.params.size()) continue;
        const float v = m.Param(index);
        if (!IsParamNotGiven(v) && !(v > 0.0f)) return false;
    }
    return true;
}

void CheckCoreTurns()
{
    for (InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) {
        if (!l.core || !l.core->model) continue;
        SchematicItem* part = l.component;
        int message = 0;
        if (l.value < 1.0) {
            message = kMsgTurnsBelowOne;
        } else if (!CoreModelSizesPositive(*l.core->model)) {
            message = kMsgCoreValueNotPositive;
            part = l.core->component;
        }
        if (message) {
            ReportPartMessage(part, message);
            FlagCircuitBuildError();
            return;
        }
    }
}

// The .IC and .NODESET texts of the circuit (from the schematic and DEF.KQ5) join the
// initial-condition lines.
void ApplyInitialConditionTexts()
{
    for (NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects())) {
        if (text.disabled) continue;
        if (!MatchDotKeyword(text.text, kDotIc) && !MatchDotKeyword(text.text, kDotNodeset)) continue;
        std::string line;
        int rc = SubstituteDefines(line, text.scope, text.text);
        if (rc == 0) rc = ParseInitialConditions(line, kInitialStore, text.scope);
        if (rc != 0) {
            if (rc != kMsgAlreadyReported) ReportMessage("WTE", CurrentRecord(), &text, rc);
            FlagCircuitBuildError();
            return;
        }
    }
}

void InstallNodeLookup()
{
    SetNodeNameLookup([](std::string_view name, int level, NodeDomain domain) {
        return LookupNodeNumber(CircuitNodeTable(), name, level, domain);
    });
}

// The analog run data of a failed build go at once: nothing may keep pointing into them.
void FreeRunData()
{
    RequiredCircuitDeviceServices().clearRecordFields();
    ClearAllDeviceLists();
}

// A text circuit's netlist becomes components of the document; a failure the reader did not
// report is reported by line.
void ReadTextCircuit(WindowRecord* record)
{
    if (CircuitBuildFailed() || !IsTextCircuit(record)) return;
    const int rc = ReadSpiceTextCircuit();
    if (rc == 0) return;
    if (rc != kMsgAlreadyReported) ReportMessage("WLE", record, 0, rc);
    FlagCircuitBuildError();
}

void Expand(bool macros, SchematicItem* single)
{
    if (CircuitBuildFailed()) return;
    const int rc = ExpandCircuit(macros, single, true);
    if (rc == kMsgInsufficientMemory)
        FlagCircuitBuildOutOfMemory();
    else if (rc != 0)
        FlagCircuitBuildError();
}

// The use count of each component type: the components of the document by their types.
void CountComponentTypeUses(CircuitDocument* document)
{
    ResetComponentTypeUseCounts();
    if (!document) return;
    for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList))
        if (item.IsComponent()) CountComponentTypeUse(ItemComponentType(&item));
}

// The components drawn at the top level of a schematic (a text circuit has none), for the usage
// statistics.
int TopLevelComponentCount(WindowRecord* record)
{
    int count = 0;
    if (record && record->document)
        for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList))
            if (item.IsComponent()) ++count;
    return count;
}

// A batch run of one case reads nothing of the X lines' items, and names no node through the
// expansion's rows, once the circuit is built; a stepped or Monte Carlo run may read parts
// again without building, and a renaming edits them.
bool ExpansionNeededAfterBuild(const WindowRecord* record)
{
    if (!Settings().batchRun || !record || !record->document) return true;
    const NetlistReaderState& reader = NetlistReader();
    if (reader.renamePartsRequested || reader.renameDefinesRequested || reader.exportInProgress) return true;
    const CircuitDocument& document = *record->document;
    for (const SteppingSlot& slot : document.stepping)
        if (slot.flags & kStepOn) return true;
    for (const MonteCarloOptions& options : document.monteCarlo)
        if (options.options & kMonteCarloOn) return true;
    return false;
}

// The steps of BuildCircuit from the expansion to the last allocation.
void BuildAfterDefinitions(int mode, WindowRecord* record)
{
    CircuitBuildState& build = State();
    const bool text = IsTextCircuit(record);
    ReadTextCircuit(record);

    if (!CircuitBuildFailed()) {
        if (ParseOptionsStatements() != 0) FlagCircuitBuildError();
        const double tnom = GlobalOptions().values.tnom;
        if (text && !CircuitBuildFailed()) EnsureAnalysisTemperatureText(record, tnom);
        if (text && !CircuitBuildFailed()) SetSteppedRowsFormat(record, GlobalOptions().numdgt);
        const double gmin = GlobalOptions().values.gmin;
        build.inverseGmin = gmin > 0.0 ? 1.0 / gmin : 1e12;
        Expand(mode != 0, nullptr);
    }
    build.lastBuildNodeCounts = {AnalogNodeCount(), DigitalNodeCount()};
    if (record && record->document) {
        record->document->analysisNodeCounts[0] = AnalogNodeCount();
        record->document->analysisNodeCounts[1] = DigitalNodeCount();
    }
    if (!CircuitBuildFailed()) {
        CountComponentTypeUses(record ? record->document.get() : nullptr);
        RecordRunStatistics(TopLevelComponentCount(record));
    }
    InstallNodeLookup();
    if (!CircuitBuildFailed()) ApplyInitialConditionTexts();

    if (!CircuitBuildFailed()) CheckAnalogNodeConnections((PreferencesOptionWord() & kOptionFloatingNodes) != 0);
    DigitalSimulator().inertialCancellation = (PreferencesOptionWord() & kOptionInertialCancellation) != 0;

    if (!CircuitBuildFailed() && Analysis().analysisKind == kAnalysisAc && AnalogNodeCount() <= 0) {
        ReportLineMessage(record, kMsgAcNeedsAnalogNode);
        FlagCircuitBuildError();
    }
    if (!CircuitBuildFailed()) RunComponentPass();
    if (!CircuitBuildFailed()) ResolveCouplings();
    ResolveSwitchInductors();

    if (!CircuitBuildFailed()) {
        const bool ground = build.groundFound || NetlistReader().groundUsed;
        if (!ground && AnalogNodeCount() > 0) ReportBuildError(text ? kBuildErrorNoSpiceGround : kBuildErrorNoGround);
        if (AnalogNodeCount() + DigitalNodeCount() <= 0) ReportBuildError(kBuildErrorNoNodes);
    }
    if (!CircuitBuildFailed()) {
        if (build.digitalDeviceTables && build.digitalDeviceTables() != 0) FlagCircuitBuildError();
        if (!CircuitBuildFailed() && ResolvePolySourceNames() != 0) FlagCircuitBuildError();
        ChainLossyLines();
        if (!CircuitBuildFailed()) ResolveCurrentSwitchSources();
    }
    // The parts are made: a run that builds each case afresh has no more use for the node rows
    // or the plain X lines, whose room the solver's tables and the checks below can take.
    if (!CircuitBuildFailed() && !ExpansionNeededAfterBuild(record)) {
        ReleaseExpansionNodes();
        ReleaseLineCallItems(*record->document);
    }
    // Nor are more part names or element origins recorded: the room their tables grew into
    // beyond their entries goes back.
    if (!CircuitBuildFailed()) {
        ShrinkNameTables();
        ShrinkElementOrigins();
    }
    if (!CircuitBuildFailed()) {
        const CircuitDeviceServicesTable& devices = RequiredCircuitDeviceServices();
        devices.fillRecordFields();
        // The extra unknowns (branch currents) are numbered before the solution vectors are
        // made, so that the vectors are sized for them once and compiled expressions keep
        // their addresses into them.
        if (devices.numberDeviceRows(AnalogNodeCount()) < 0)
            FlagCircuitBuildOutOfMemory();
        else
            AllocateSolutionVectors();
    }
    CompileDeviceExpressions();
    if (!CircuitBuildFailed()) {
        SaveRlcValues();
        CheckCoreTurns();
    }
    if (!CircuitBuildFailed() && ParseInitialConditions({}, kInitialBuild, 0) != 0) FlagCircuitBuildError();
    PropagateWireNodes(record);
    if (!build.pathWindow) {
        if (!CircuitBuildFailed()) CheckInductorSourceLoops(AnalogNodeCount());
        if (!CircuitBuildFailed()) CheckDcPathToGround(AnalogNodeCount());
    }
    FreePolySourceNames();
    if (!CircuitBuildFailed() && BuildFormulaDependencies() == kMsgInsufficientMemory) FlagCircuitBuildOutOfMemory();
}

void FinishBuild(WindowRecord* record)
{
    CircuitBuildState& build = State();
    build.built = true;
    if (!CircuitBuildFailed()) {
        FreeBuiltCircuit(kFreeBuildWindows | kFreeExpansion);
    } else {
        FreeRunData();
    }

    build.acSignalWarning = false;
    if (!CircuitBuildFailed() && Analysis().analysisKind == kAnalysisAc && !AnySourceGivesAcSignal()) {
        build.acSignalWarning = true;
        const CircuitDocument* document = record ? record->document.get() : nullptr;
        bool sweeping = Settings().batchRun;
        if (document) {
            for (const SteppingSlot& slot : document->stepping) sweeping = sweeping || (slot.flags & kStepOn);
            sweeping = sweeping || (document->monteCarlo[kAnalysisAc].options & kMonteCarloOn);
        }
        if (!sweeping) ReportMessage("WSE", record, win::MB_OK | win::MB_ICONEXCLAMATION, kMsgAcSignalsZero);
    }
    build.recordedCircuitSize = build.realComponentCount;
    if (!CircuitBuildFailed()) {
        if (const int rc = ReportMathError()) {
            ReportMessage("WE", record, rc);
            FlagCircuitBuildError();
        }
    }
}

void ResolvePartModels(CircuitDocument& document, SchematicItem* single)
{
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (CircuitBuildFailed()) return;
        if (!item.IsComponent() || (single && &item != single)) continue;
        const int type = ItemComponentType(&item);
        const ComponentTypeRow* row = FindComponentTypeRow(type);
        if (!row) continue;
        if (row->modelType >= 0) {
            const int attribute = ModelAttributeOfComponentType(type);
            const bool optional = (row->flags & kTypeModelOptional) != 0;
            if (!(optional && GetAttributeText(&item, attribute).empty()) && GetPartModel(&item, attribute) < 0)
                FlagCircuitBuildError();
        }
        if (!CircuitBuildFailed() && IsKindStandardAttribute(type, kAttrIoModel) &&
            GetPartModel(&item, kAttrIoModel) < 0)
            FlagCircuitBuildError();
    }
}

// The user agreed to rename: parts are renumbered and defines renamed as the Rename commands
// do it, with every text that used the old names rewritten, so the second build finds them.
void RenameIllegalNames(WindowRecord* record, bool parts, bool defines)
{
    if (!record || !record->document) return;
    if (parts && EditorHooks().renameComponents) EditorHooks().renameComponents(record);
    if (defines && EditorHooks().renameDefines) EditorHooks().renameDefines(record);
}

}  // namespace

CircuitBuildState& CircuitBuild() { return State(); }

void ResetCircuitBuildForTests()
{
    State() = CircuitBuildState();
    ClearCurrentComponent();
}

int FlagCircuitBuildOutOfMemory()
{
    if (!CircuitBuildFailed()) {
        FreeBuiltCircuit(kFreeExpansion | kFreeDefines);
        ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
    }
    FlagCircuitBuildError();
    return kMsgAlreadyReported;
}

void ReportBuildError(int code)
{
    if (!CircuitBuildFailed()) ReportMessage("WLE", CurrentRecord(), 0, kBuildErrorBase + code);
    FlagCircuitBuildError();
}

void FreeBuiltCircuit(unsigned parts)
{
    CircuitBuildState& build = State();
    NetlistReaderState& reader = NetlistReader();
    if (parts & kFreeModels) ClearModelTable();
    if (parts & kFreeDefines) ClearDefineTable();
    if (parts & kFreeExpansion) {
        // The stored lines go; the table built from them stays for the run that follows.
        ParseInitialConditions({}, kInitialClear, 0);
        reader.libraries.clear();
        ClearCurrentComponent();
    }
    if ((parts & kFreeAppendedItems) && build.marksSet) {
        WindowRecord* record = build.buildWindow;
        if (record && IsLiveWindowRecord(record) && record->document) {
            RemoveItemsAfter(*record->document, build.itemMark);
            record->document->connectivityStale = 1;
        }
        ClearCircuitTextObjects();
        build.itemMark = nullptr;
        build.textMark = nullptr;
        build.marksSet = false;
        if (record && IsLiveWindowRecord(record)) RebuildNetlistIfNeeded(record, true);
    }
    if ((parts & kFreeAddedAttributes) && build.buildWindow && IsLiveWindowRecord(build.buildWindow) &&
        build.buildWindow->document)
        RemoveBuildAttributes(*build.buildWindow->document);
    if (parts & kFreeAddedDefinitions) RemoveGeneratedDefinitions();
    if (parts & kFreeBuildWindows) {
        for (ScopeExpansion& scope : reader.scopes) {
            if (!scope.macro) continue;
            WindowRecord*& macroCircuit = scope.macro->macroCircuit;
            FreeHiddenCircuit(macroCircuit);
        }
        ForgetInstanceScopeWindows();
    }
    if (parts & kFreeScopes) {
        FreeScopeTable();
        CircuitNodeTable().rows.clear();
        FreeNetlistReaderBuild();
    }
    if (parts & kFreeExpansion) ResetNetlistReader();
}

int BuildCircuit(int mode)
{
    CircuitBuildState& build = State();
    WindowRecord* record = CurrentRecord();
    RequiredCircuitDeviceServices().registerRecordTypes();
    // A build that was never torn down must not leave its components in the next one.
    if (build.marksSet) FreeBuiltCircuit(0xFF);
    FreeRunData();

    build.realComponentCount = 0;
    build.componentCounter = 0;
    build.groundFound = false;
    build.internalNodeCounter = 0;
    build.powerSupplies.clear();
    NetlistReaderState& reader = NetlistReader();
    reader.renamePartsRequested = false;
    reader.renameDefinesRequested = false;
    reader.groundUsed = false;
    RebuildNetlistIfNeeded(record, false);
    if (ReportMissingHiddenNode("W")) return kMsgAlreadyReported;

    MarkDocumentState(record);
    CircuitNodeTable().rows.clear();
    ResetMathErrors();
    if (BeginCircuitBuild(false) != 0) FlagCircuitBuildError();
    BuildAfterDefinitions(mode, record);
    FinishBuild(record);
    return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
}

int BuildCircuitWithRenames(int mode)
{
    const int rc = BuildCircuit(mode);
    NetlistReaderState& reader = NetlistReader();
    if (!reader.renamePartsRequested && !reader.renameDefinesRequested) return rc;
    WindowRecord* record = CurrentRecord();
    RenameIllegalNames(record, reader.renamePartsRequested, reader.renameDefinesRequested);
    reader.renameUnderWay = true;
    const int second = BuildCircuit(mode);
    reader.renameUnderWay = false;
    return second;
}

int PrepareCircuit(WindowRecord* record, SchematicItem* single, unsigned flags)
{
    CircuitBuildState& build = State();
    build.preparing = true;
    SetCurrentDocument(record);
    if (ReportMissingHiddenNode("N")) {
        build.preparing = false;
        return kMsgAlreadyReported;
    }
    const bool cursor = !Settings().batchRun && record;
    if (cursor) BeginWaitCursor(record->window);
    RequiredCircuitDeviceServices().registerRecordTypes();
    if (build.marksSet) FreeBuiltCircuit(0xFF);
    if (flags & kPrepareRebuildNetlist) RebuildNetlistIfNeeded(record, true);
    MarkDocumentState(record);
    CircuitNodeTable().rows.clear();
    if (BeginCircuitBuild(false) != 0) FlagCircuitBuildError();
    build.built = true;
    ResetComponentTypeUseCounts();
    ReadTextCircuit(record);
    Expand((flags & kPrepareExpansionMode) != 0, single);
    CircuitDocument* document = CurrentDocument();
    if (!CircuitBuildFailed()) CountComponentTypeUses(document);
    if (!CircuitBuildFailed() && (flags & kPrepareResolveModels) && document)
        ResolvePartModels(*document, single);
    if (!CircuitBuildFailed() && ParseOptionsStatements() != 0) FlagCircuitBuildError();
    if (cursor) EndWaitCursor();
    build.preparing = false;
    return CircuitBuildFailed() ? 1 : 0;
}

int PrepareDefinitions(WindowRecord* record)
{
    CircuitBuildState& build = State();
    SetCurrentDocument(record);
    build.preparing = true;
    if (BeginCircuitBuild(false) != 0) FlagCircuitBuildError();
    build.preparing = false;
    return CircuitBuildFailed() ? 1 : 0;
}

}  // namespace kq5
