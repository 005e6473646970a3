#include "document/connectivity.h"

#include <map>
#include <new>
#include <tuple>

#include "core/analysis_state.h"
#include "ui/help_bar.h"
#include "ui/preference_values.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity_internal.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "document/component_definition.h"
#include "document/document_windows.h"
#include "document/pane_scroll_bars.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

constexpr int kWaitProcessingNodes = 17895;  // "Wait while processing nodes."
constexpr std::size_t kSpareNodeRows = 10;

ConnectivityState& State()
{
    static ConnectivityState state;
    return state;
}

bool IsMacroOrSubckt(int type) { return type == kComponentMacro || type == kComponentSubckt; }

std::int32_t PointKey(const win::POINT& p) { return ConnectionKey(p.x, p.y); }

// Leading input pins of a digital part: every pin from there on drives its node.
int DigitalInputPinCount(const SchematicItem& item)
{
    const int type = ItemComponentType(&item);
    if (type == kComponentPullup || type == kComponentPulldn) return 1;
    return item.definition ? item.definition->inputPinCount : 0;
}

// One rebuild: the point table and the two label counters.
struct Rebuild {
    ConnectivityTables tables;

    // Ground, jumpers and wires, in list order.
    void FirstPass(CircuitDocument& document)
    {
        for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
            if (item.itemKind == kItemWire) {
                item.wireLabel = kNoLabel;
                tables.points.JoinPoints(ConnectionKey(item.x1, item.y1), ConnectionKey(item.x2, item.y2),
                                         tables.temporaryCounter, item.page, item.page);
                continue;
            }
            const int type = ItemComponentType(&item);
            if (type == kComponentGround) {
                const std::int32_t key = PointKey(GetPinPosition(&item, 0));
                const std::int32_t label = tables.points.FindPointNodeAndCount(key, item.page);
                if (label != kNoLabel)
                    tables.points.ReplaceNodeLabel(label, 0);
                else
                    tables.points.AddConnectionPoint(key, 0, item.page);
            } else if (type == kComponentJumper && item.definition && item.definition->pins.size() >= 2) {
                const DefinitionPin& p0 = item.definition->pins[0];
                const DefinitionPin& p1 = item.definition->pins[1];
                const win::POINT start = GetPinPosition(&item, 0);
                const win::POINT step = TransformByOrientation(item.orientation, p1.dx - p0.dx, p1.dy - p0.dy);
                tables.points.JoinPoints(PointKey(start), ConnectionKey(start.x + step.x, start.y + step.y),
                                         tables.temporaryCounter, item.page, item.page);
            }
        }
    }

    // Ties of equal PART join their points, whatever page each lies on.
    void JoinTies(CircuitDocument& document)
    {
        std::vector<SchematicItem*> ties;
        for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList))
            if (ItemComponentType(&item) == kComponentTie) ties.push_back(&item);
        for (std::size_t i = 0; i < ties.size(); ++i)
            for (std::size_t j = i + 1; j < ties.size(); ++j)
                if (IsSameTie(*ties[i], *ties[j]))
                    tables.points.JoinPoints(PointKey(TiePoint(*ties[i])), PointKey(TiePoint(*ties[j])),
                                             tables.temporaryCounter, ties[i]->page, ties[j]->page);
    }

    // The label of a global pin: that of the first node label carrying the pin's node name.
    std::int32_t GlobalPinLabel(CircuitDocument& document, const std::string& nodeName)
    {
        for (const GridText& text : ListRecords<GridText>(document.gridTextList))
            if (IsNodeLabel(text) && EqualsNoCase(text.text, nodeName))
                return tables.points.FindPointNode(ConnectionKey(text.x, text.y), text.page);
        return kNoLabel;
    }

    // Every pin of every component gets the label of its point; a pin that touches nothing
    // and a wire net seen for the first time get the next final label.
    int PinPass(CircuitDocument& document)
    {
        ConnectivityState& state = State();
        state.unresolvedGlobalPinItem = nullptr;
        state.unresolvedGlobalPinName.clear();
        for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
            const int type = ItemComponentType(&item);
            const ComponentTypeRow* row = FindComponentTypeRow(type);
            if (!row || type == kComponentNull || type == kComponentBlank || row->pinNames == kPinNamesConnection)
                continue;
            const int pins = ItemPinCount(&item);
            if (SetComponentPinNodeCount(item, pins) != 0 && pins > 0) return kMsgInsufficientMemory;
            for (int pin = 0; pin < pins; ++pin) {
                std::int32_t label;
                if (IsGlobalPin(item, pin)) {
                    const std::string& nodeName = item.definition->pins[static_cast<std::size_t>(pin)].secondText;
                    label = GlobalPinLabel(document, nodeName);
                    if (label == kNoLabel) {
                        state.unresolvedGlobalPinItem = &item;
                        state.unresolvedGlobalPinName = nodeName;
                        // A pin without a node must not read as ground.
                        item.pinNodes[static_cast<std::size_t>(pin)] = kNoLabel;
                        continue;
                    }
                } else {
                    const std::int32_t key = PointKey(GetPinPosition(&item, pin));
                    label = tables.points.FindPointNodeAndCount(key, item.page);
                    if (label == kNoLabel) {
                        label = ++tables.positiveCounter;
                        tables.points.AddConnectionPoint(key, label, item.page);
                    }
                }
                if (label < kNoLabel) {
                    const std::int32_t final = ++tables.positiveCounter;
                    tables.points.ReplaceNodeLabel(label, final);
                    label = final;
                }
                item.pinNodes[static_cast<std::size_t>(pin)] = label;
            }
        }
        return 0;
    }

    // Numbers the labels: analog pins first, then digital pins, with an interface row where a
    // digital pin of a primitive meets an analog node.
    void NumberNodes(CircuitDocument& document)
    {
        std::vector<SchematicNodeRow>& table = document.schematicNodeTable;
        const std::size_t labelRows = static_cast<std::size_t>(tables.positiveCounter) + 1;
        table.assign(labelRows + kSpareNodeRows, SchematicNodeRow());
        std::size_t interfaceEnd = labelRows;
        std::int32_t counter = 0;

        auto give = [&](SchematicNodeRow& row, std::int32_t label, std::uint8_t kind, const SchematicItem& item,
                        int pin) {
            if (row.nodeNumber != 0) return;
            const win::POINT at = GetPinPosition(&item, pin);
            row.nodeNumber = ++counter;
            row.label = label;
            row.kind = kind;
            row.page = item.page;
            row.x = at.x;
            row.y = at.y;
        };
        auto numberedPin = [&](const SchematicItem& item, int pin, int kind, std::int32_t& label) {
            if (pin >= static_cast<int>(item.pinNodes.size()) || IsGlobalPin(item, pin)) return false;
            label = item.pinNodes[static_cast<std::size_t>(pin)];
            return label > 0 && static_cast<std::size_t>(label) < labelRows && GetPinSignalKind(&item, pin) == kind;
        };

        for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
            for (int pin = 0; pin < item.PinCount(); ++pin) {
                std::int32_t label;
                if (numberedPin(item, pin, kNodeAnalog, label))
                    give(table[static_cast<std::size_t>(label)], label, kNodeAnalog, item, pin);
            }
        }
        for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
            const bool block = IsMacroOrSubckt(ItemComponentType(&item));
            for (int pin = 0; pin < item.PinCount(); ++pin) {
                std::int32_t label;
                if (!numberedPin(item, pin, kNodeDigital, label)) continue;
                std::size_t used = static_cast<std::size_t>(label);
                if (table[used].kind == kNodeAnalog && !block) {
                    const std::uint8_t direction =
                        pin >= DigitalInputPinCount(item) ? kInterfaceDtoA : kInterfaceAtoD;
                    used = FindInterfaceRow(table, labelRows, interfaceEnd, label);
                    if (used == interfaceEnd) {
                        if (interfaceEnd == table.size()) table.resize(table.size() + kSpareNodeRows);
                        table[used].label = label;
                        table[used].direction = direction;
                        ++interfaceEnd;
                    } else if (direction == kInterfaceDtoA) {
                        table[used].direction = kInterfaceDtoA;
                    }
                }
                give(table[used], label, kNodeDigital, item, pin);
            }
        }
        document.nodeCount = counter;
        document.nodeCount2 = 0;
    }

    // One dot entry per connection point (flag 1 where three or more ends meet), then the node
    // labels of grid texts.
    void BuildConnectionDots(CircuitDocument& document)
    {
        std::vector<ConnectionDot>& dots = document.connectionDots;
        dots.clear();
        dots.reserve(tables.points.Entries().size() + static_cast<std::size_t>(document.gridTextList.count));
        for (const ConnectionPoint& point : tables.points.Entries())
            dots.push_back({point.key, static_cast<std::uint16_t>(point.useCount > 1 ? kDotJunction : 0), point.page});
        for (GridText& text : ListRecords<GridText>(document.gridTextList)) {
            const std::int32_t key = ConnectionKey(text.x, text.y);
            text.number = IsNodeLabel(text) ? tables.points.FindPointNode(key, text.page) : kNoLabel;
            if (text.number != kNoLabel) dots.push_back({key, kDotNodeLabel, text.page});
        }
    }
};

// The values of a finished run stay with their nets when the schematic is numbered again (the
// release of the run takes away the parts it expanded, and the numbers move): a net is known by
// the pin that numbered it.
void CarryNodeValues(const std::vector<SchematicNodeRow>& old, std::vector<SchematicNodeRow>& table)
{
    using Place = std::tuple<std::int16_t, std::int32_t, std::int32_t, std::uint8_t, std::uint8_t>;
    std::map<Place, double> values;
    for (const SchematicNodeRow& row : old)
        if (row.nodeNumber > 0) values.emplace(Place{row.page, row.x, row.y, row.kind, row.direction}, row.voltage);
    for (SchematicNodeRow& row : table) {
        if (row.nodeNumber <= 0) continue;
        const auto found = values.find(Place{row.page, row.x, row.y, row.kind, row.direction});
        if (found != values.end()) row.voltage = found->second;
    }
}

}  // namespace

std::size_t FindInterfaceRow(const std::vector<SchematicNodeRow>& table, std::size_t first, std::size_t end,
                             std::int32_t label)
{
    for (std::size_t row = first; row < end; ++row)
        if (table[row].label == label) return row;
    return end;
}

win::POINT TiePoint(const SchematicItem& tie)
{
    // The tie's own offset, not turned: a tie is a single point whatever its orientation.
    if (!tie.definition || tie.definition->pins.empty()) return {tie.x1, tie.y1};
    const DefinitionPin& pin = tie.definition->pins[0];
    return {static_cast<std::int16_t>(tie.x1 + pin.dx), static_cast<std::int16_t>(tie.y1 + pin.dy)};
}

bool IsGlobalPin(const SchematicItem& item, int pin)
{
    if (!IsMacroOrSubckt(ItemComponentType(&item)) || pin < 0 ||
        pin >= static_cast<int>(item.definition->pins.size()))
        return false;
    return HasCharClass(item.definition->pins[static_cast<std::size_t>(pin)].typeLetter, kCharUpper);
}

ConnectivityState& Connectivity() { return State(); }

void ResetConnectivityStateForTests() { State() = ConnectivityState(); }

NodeTable& CircuitNodeTable() { return State().nodeTable; }

win::POINT TransformByOrientation(int code, int dx, int dy)
{
    win::POINT p{dx, dy};
    switch (code & 3) {
    case 1: p = {-dy, dx}; break;
    case 2: p = {-dx, -dy}; break;
    case 3: p = {dy, -dx}; break;
    default: break;
    }
    if (code & 4) p.y = -p.y;
    return p;
}

win::POINT GetPinPosition(const SchematicItem* item, int pin)
{
    if (!item || !item->definition || pin < 0 || pin >= static_cast<int>(item->definition->pins.size())) return {0, 0};
    const DefinitionPin& offset = item->definition->pins[static_cast<std::size_t>(pin)];
    const win::POINT turned = TransformByOrientation(item->orientation, offset.dx, offset.dy);
    return {static_cast<std::int16_t>(item->x1 + turned.x), static_cast<std::int16_t>(item->y1 + turned.y)};
}

int ItemComponentType(const SchematicItem* item)
{
    if (!item || item->itemKind != kItemComponent || !item->definition) return -1;
    return FindComponentTypeRow(item->definition->type) ? item->definition->type : -1;
}

int GetPinSignalKind(const SchematicItem* item, int pin)
{
    const int type = ItemComponentType(item);
    if (type < 0) return 0;
    std::string_view name;
    if (pin >= 0 && pin < static_cast<int>(item->definition->pins.size()))
        name = item->definition->pins[static_cast<std::size_t>(pin)].name;
    return PinSignalKindOfType(type, pin, name);
}

int ItemPinCount(const SchematicItem* item)
{
    const int type = ItemComponentType(item);
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    if (!row || type == kComponentNull || type == kComponentBlank || row->pinNames == kPinNamesConnection) return 0;
    return ComponentPinCount(*item->definition);
}

bool IsNodeLabel(const GridText& text)
{
    return text.IsValidLabel() || (text.IsFlag() && !text.text.empty());
}

bool IsSameTie(const SchematicItem& a, const SchematicItem& b)
{
    const std::string& partA = GetAttributeText(&a, kAttrPart);
    return !partA.empty() && EqualsNoCase(partA, GetAttributeText(&b, kAttrPart));
}

std::int32_t PinNodeNumber(const CircuitDocument& document, const SchematicItem& item, int pin)
{
    if (pin < 0 || pin >= item.PinCount()) return -1;
    const std::int32_t label = item.pinNodes[static_cast<std::size_t>(pin)];
    const std::vector<SchematicNodeRow>& table = document.schematicNodeTable;
    if (label == 0) return 0;
    if (label < 0 || static_cast<std::size_t>(label) >= table.size()) return -1;
    const SchematicNodeRow& row = table[static_cast<std::size_t>(label)];
    if (row.kind == kNodeAnalog && GetPinSignalKind(&item, pin) == kNodeDigital &&
        !IsMacroOrSubckt(ItemComponentType(&item))) {
        // Interface rows follow the label rows; the first row past the labels whose label matches.
        for (std::size_t i = static_cast<std::size_t>(label) + 1; i < table.size(); ++i)
            if (table[i].direction != kInterfaceNone && table[i].label == label) return table[i].nodeNumber;
        return -1;
    }
    return row.nodeNumber != 0 ? row.nodeNumber : -1;
}

int BuildConnectivity(WindowRecord* record)
{
    if (!record || !record->document) return 0;
    CircuitDocument& document = *record->document;
    BeginWaitCursor(record->window);
    const int previousHelp = SetHelpBarMessageId(nullptr, kWaitProcessingNodes);

    int result = 0;
    try {
        Rebuild rebuild;
        rebuild.FirstPass(document);
        rebuild.JoinTies(document);
        ApplyTieStatements(document, rebuild.tables);
        result = rebuild.PinPass(document);
        if (result == 0) rebuild.NumberNodes(document);
        if (result == 0) rebuild.BuildConnectionDots(document);
    } catch (const std::bad_alloc&) {
        result = kMsgInsufficientMemory;
    }
    if (result != 0) {
        document.nodeCount = 0;
        document.nodeCount2 = 0;
    }
    document.analysisNodeCounts.fill(document.nodeCount);

    SetHelpBarMessageId(nullptr, previousHelp);
    EndWaitCursor();
    if (result != 0) ReportMessage("WE", record, kMsgInsufficientMemory);

    if (record->kind == kWindowSchematic && !(record->flags & (kRecordMacroWindow | kRecordSharesLists))) {
        for (std::size_t page = 0; page < document.pages.size(); ++page)
            CheckPageExtent(record, static_cast<int>(page));
        UpdatePaneScrollBars(record);
    }
    return result;
}

int RebuildNetlistIfNeeded(WindowRecord* record, bool force)
{
    ConnectivityState& state = State();
    if (state.rebuilding || !record || !IsLiveWindowRecord(record) || !record->document) return 0;
    if (!record->window && !(record->flags & kRecordSharesLists)) return 0;
    CircuitDocument& document = *record->document;
    if (!force) {
        const bool shown = (document.viewOptions & (kViewNodeNumbers | kViewNodeVoltages)) != 0;
        const bool small = document.itemList.count < NodeRecalcSetting();
        if (Analysis().analysisKind != kAnalysisNone || !(shown || small)) return 0;
    }
    if (document.connectivityMode != 0) {
        if (EditorHooks().rewireSchematic) EditorHooks().rewireSchematic(record, 0, document.connectivityMode == 3);
        document.connectivityMode = 0;
        document.connectivityStale = 1;
    }
    if (document.connectivityStale == 0) return 0;
    document.connectivityStale = 0;
    std::vector<SchematicNodeRow> old;
    old.swap(document.schematicNodeTable);
    state.rebuilding = true;
    const int result = BuildConnectivity(record);
    state.rebuilding = false;
    // Only results that still belong to this schematic are kept: an edit clears the flag.
    if (result == 0 && document.resultsAvailable) CarryNodeValues(old, document.schematicNodeTable);
    if (result != 0) document.connectivityStale = 1;
    return result;
}

}  // namespace kq5
