// Name checks and the name tables of the circuit build.
#include <algorithm>
#include <new>

#include "ui/program_settings.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "core/expr_symbols.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/grid_text.h"
#include "netlist/build_errors.h"
#include "netlist/defines.h"
#include "document/label_names.h"
#include "netlist/model_statements.h"
#include "core/part_instance.h"
#include "document/scope_names.h"
#include "document/scope_table.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/token_patterns.h"

#include <algorithm>
#include "platform/message_box.h"

namespace kq5 {

namespace {

constexpr int kMsgReservedName = 10880;
constexpr int kMsgDuplicateDefinition = 10896;
constexpr int kMsgIllegalLabel = 10897;
constexpr int kMsgDuplicatePart = 10898;
constexpr int kMsgIllegalLabelRename = 10899;
constexpr int kMsgIllegalLabelInScope = 10900;

// Every name goes into the name tables, whatever its bytes: a name the tables passed over would
// make a new node (or miss its part) at each use. Bytes above 127 stay as they are, as the
// case table leaves them, so that each spelling is one name everywhere.
bool IsMappedName(std::string_view name) { return !name.empty(); }

// A node label of the scope carries the name: a grid text of the schematic at the top level, or
// a text object of the scope placed on a node.
bool NodeLabelExists(std::string_view name, int scope)
{
    if (scope == 0) {
        if (const CircuitDocument* document = CurrentDocument()) {
            for (const GridText& text : ListRecords<GridText>(document->gridTextList))
                if (IsNodeLabel(text) && EqualsNoCase(text.text, name)) return true;
        }
    }
    if (NetlistReader().nodePlacedTexts == 0) return false;
    for (const NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects()))
        if (text.scope == scope && text.node >= 0 && !text.disabled && EqualsNoCase(text.text, name)) return true;
    return false;
}

bool ModelExists(std::string_view name, int scope, int modelType)
{
    for (const ModelStatement& statement : Models().statements)
        if (statement.scope == scope && statement.type == modelType && statement.name == name) return true;
    return false;
}

bool ReadFromText(const SchematicItem* component) { return HasElementOrigin(component); }

}  // namespace

int IsIllegalIdentifier(std::string_view name)
{
    if (name.empty() || !HasCharClass(name.front(), kCharIdentStart)) return 1;
    return AllCharsInClass(name, kCharIdent) ? 0 : 1;
}

int CheckLabelName(std::string_view name, int scope, unsigned flags, const SchematicItem* component, int modelType)
{
    NetlistReaderState& state = NetlistReader();
    bool failed = false;
    if ((flags & kLabelCheckNode) && NodeLabelExists(name, scope)) failed = true;
    if ((flags & kLabelCheckDefine) && DefineExistsInScope(name, scope)) failed = true;
    if ((flags & kLabelCheckModel) && ModelExists(name, scope, modelType)) failed = true;
    if ((flags & kLabelCheckPart) && FindPartByNameInScope(name, scope) != nullptr) failed = true;

    bool illegal = false;
    if (flags & (kLabelCheckValidLabel | kLabelCheckChars)) {
        const unsigned charFlags = flags & kLabelCheckDots;
        if (IsReservedExpressionName(name, false)) {
            if (flags & kLabelCheckReport) {
                if (component)
                    ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgReservedName, std::string(name));
                else
                    ReportNetlistMessage("WLE", CurrentRecord(), scope, kMsgReservedName, std::string(name));
                flags &= ~kLabelCheckReport;
            }
            failed = true;
        } else if (flags & kLabelCheckValidLabel) {
            illegal = name.empty() || !HasCharClass(name.front(), kCharIdentStart) || HasIllegalLabelChar(name, charFlags);
        } else {
            illegal = HasIllegalLabelChar(name, charFlags) != 0;
        }
    }
    if (illegal) {
        failed = true;
        if (component && (flags & kLabelCheckReport) && !state.renameUnderWay) {
            const std::string shown(name);
            if (scope == 0 && !ReadFromText(component) && !Settings().batchRun) {
                int answer = ReportMessage("WNSE", CurrentRecord(), component, win::MB_YESNO | win::MB_ICONQUESTION,
                                           kMsgIllegalLabelRename, shown);
                if (answer == win::IDYES) state.renamePartsRequested = true;
                FlagCircuitBuildError();
            } else if (scope != 0 || Settings().batchRun) {
                ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgIllegalLabelInScope, shown);
            } else {
                ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgIllegalLabel, shown);
            }
        } else if (flags & kLabelCheckReport) {
            ReportNetlistMessage("WLE", CurrentRecord(), scope, kMsgIllegalLabel, std::string(name));
        }
        return 1;
    }
    if (failed && (flags & kLabelCheckReport)) {
        if (component)
            ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgDuplicatePart);
        else
            ReportNetlistMessage("WLE", CurrentRecord(), scope, kMsgDuplicateDefinition, std::string(name));
    }
    return failed ? 1 : 0;
}

PartInstanceRecord* FindPartByNameInScope(std::string_view name, int scope)
{
    std::string upper = CopyUpperCase(name);
    NetlistReaderState& state = NetlistReader();
    // The scope's path is upper case already.
    if (!state.partNames.empty()) {
        if (ScopedNameLength(std::max(scope, 0), upper) == 0) return nullptr;
        PartInstanceRecord* const* found = state.partNames.FindIn(std::max(scope, 0), upper);
        return found ? *found : nullptr;
    }
    if (scope > 0) upper = CopyUpperCase(QualifyNameWithScope(upper, scope));
    for (PartInstanceRecord& record : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList))) {
        if (!ScopedNameMatches(record.pathScope, record.partName, upper, false)) continue;
        if (scope < 0 || (record.component && record.component->scope == scope) || !record.component) return &record;
    }
    return nullptr;
}

void InsertPartName(std::string_view name, PartInstanceRecord* record) { InsertScopedPartName(0, name, record); }

void InsertScopedPartName(int scope, std::string_view name, PartInstanceRecord* record)
{
    if (ScopedNameLength(scope, name) == 0) return;
    try {
        NetlistReader().partNames.InsertIn(scope, name, record);
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildError();
    }
}

PartInstanceRecord* LookupPartName(std::string_view name)
{
    if (!IsMappedName(name)) return nullptr;
    PartInstanceRecord* const* found = NetlistReader().partNames.Find(name);
    return found ? *found : nullptr;
}

void InsertNodeName(std::string_view name, std::int32_t number) { InsertScopedNodeName(0, name, number); }

std::int32_t LookupNodeNameTrie(std::string_view name) { return LookupScopedNodeName(0, name); }

void InsertScopedNodeName(int scope, std::string_view name, std::int32_t number)
{
    if (ScopedNameLength(scope, name) == 0) return;
    try {
        NetlistReader().nodeNames.AssignIn(scope, name, number);
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildError();
    }
}

std::int32_t LookupScopedNodeName(int scope, std::string_view name)
{
    if (ScopedNameLength(scope, name) == 0) return -1;
    const std::int32_t* found = NetlistReader().nodeNames.FindIn(scope, name);
    return found ? *found : -1;
}

void FreeNameTries()
{
    NetlistReaderState& state = NetlistReader();
    state.partNames.Clear();
    state.nodeNames.Clear();
}

void ShrinkNameTables()
{
    NetlistReaderState& state = NetlistReader();
    state.partNames.ShrinkToFit();
    state.nodeNames.ShrinkToFit();
}

void ShowPartErrorLocation(int scope, const SchematicItem* item, const CircuitTextObject* text, int originKind)
{
    switch (originKind) {
        case 0:
        case 4:
        case -1:
            if (item)
                ShowErrorLocation(item);
            else if (text)
                ShowErrorLocation(text);
            break;
        case 1:
        case 3:
            if (const SubcktScope* entry = FindScope(scope); entry && text)
                SetErrorSourceLine(entry->fileName, text->lineNumber);
            break;
        default: break;
    }
}

}  // namespace kq5
