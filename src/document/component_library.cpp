#include "document/component_library.h"

#include <algorithm>
#include <new>
#include <set>

#include "core/error_context.h"
#include "ui/frame_state.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/file_names.h"
#include "document/component_types.h"
#include "platform/message_box.h"
#include "document/binary_io.h"
#include "document/editor_services.h"
#include "document/shape_library.h"

namespace kq5 {
namespace {

constexpr std::uint16_t kComponentFileVersion = 14;
constexpr std::uint16_t kOldComponentFileVersion = 13;
constexpr std::uint16_t kComponentFileRevision = 9;
// Groups nest only as deep as a user sorts them; deeper is damage, not a tree.
constexpr int kMaxGroupDepth = 32;
constexpr std::size_t kGroupRecordMin = 6;       // empty name, id, child count
constexpr std::size_t kDefinitionRecordMin = 26;  // fixed words, empty memo and name

struct ParseError {
    int id;
};

class LibraryReader {
public:
    explicit LibraryReader(std::string_view bytes) : in_(bytes) {}

    std::uint16_t U16()
    {
        const std::uint16_t v = in_.U16();
        Check();
        return v;
    }
    std::int16_t I16()
    {
        const std::int16_t v = in_.I16();
        Check();
        return v;
    }
    std::string Counted()
    {
        const std::uint16_t n = U16();
        const std::string_view b = in_.Bytes(n);
        Check();
        return std::string(b);
    }
    // A count of records that each take at least minSize bytes: larger than the rest of the file
    // can hold is damage, found before anything is allocated for it.
    std::size_t Count(std::size_t minSize)
    {
        const std::uint16_t n = U16();
        if (static_cast<std::size_t>(n) * minSize > in_.remaining()) throw ParseError{kMsgBadFormatInFile};
        return n;
    }
    std::size_t remaining() const { return in_.remaining(); }

private:
    void Check() const
    {
        if (!in_.ok()) throw ParseError{kMsgBadFormatInFile};
    }
    ByteReader in_;
};

void ReadGroup(LibraryReader& in, ComponentGroup& group, int depth)
{
    if (depth > kMaxGroupDepth) throw ParseError{kMsgBadFormatInFile};
    group.name = in.Counted();
    group.id = in.U16();
    const std::size_t children = in.Count(kGroupRecordMin);
    group.children.assign(children, ComponentGroup{});
    for (ComponentGroup& child : group.children) ReadGroup(in, child, depth + 1);
}

void WriteGroup(ByteWriter& out, const ComponentGroup& group)
{
    out.U16(static_cast<std::uint16_t>(group.name.size()));
    out.Bytes(group.name);
    out.U16(group.id);
    out.U16(static_cast<std::uint16_t>(group.children.size()));
    for (const ComponentGroup& child : group.children) WriteGroup(out, child);
}

void WriteCounted(ByteWriter& out, std::string_view text)
{
    out.U16(static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF)));
    out.Bytes(text.substr(0, 0xFFFF));
}

std::string PinText(const ComponentDefinition& definition, const DefinitionPin& pin)
{
    if (pin.typeLetter == 0 && pin.name.empty()) return {};
    std::string text(1, pin.typeLetter ? pin.typeLetter : 'a');
    text += pin.name;
    if (IsMacroPinUpperType(definition, static_cast<int>(&pin - definition.pins.data()))) {
        text += '\0';
        text += pin.secondText;
    }
    return text;
}

void ReadDefinition(LibraryReader& in, ComponentDefinition& d, bool oldRevision)
{
    d.shapeIndex = in.U16();
    d.type = in.U16();
    d.placementFlags = in.U16();
    d.groupId = in.U16();
    d.sizeA = in.U16();
    d.sizeB = in.U16();
    if (d.type >= kComponentTypeCount) throw ParseError{kMsgBadFormatInFile};
    d.memo = in.Counted();
    d.attrOriginX = in.I16();
    d.attrOriginTurnedX = in.I16();
    d.attrOriginY = in.I16();
    d.attrOriginTurnedY = in.I16();
    // Each pin takes its position and its name offset, eight bytes at least.
    const std::size_t pins = in.Count(8);
    d.name = in.Counted();
    d.pins.assign(pins, DefinitionPin{});
    for (DefinitionPin& pin : d.pins) {
        pin.dx = in.I16();
        pin.dy = in.I16();
    }
    for (DefinitionPin& pin : d.pins) {
        pin.textDx = in.I16();
        pin.textDy = in.I16();
    }
    const bool named = IsNamedPinType(d.type);
    if (oldRevision && named) d.placementFlags |= kDefShowPinText;
    if (!named) return;
    for (DefinitionPin& pin : d.pins) {
        const std::string text = in.Counted();
        if (text.empty()) continue;
        pin.typeLetter = text[0];
        const std::size_t nul = text.find('\0', 1);
        pin.name = text.substr(1, nul == std::string::npos ? std::string::npos : nul - 1);
        if (nul != std::string::npos) pin.secondText = text.substr(nul + 1);
        // A second text past its own NUL is not part of it.
        if (const std::size_t end = pin.secondText.find('\0'); end != std::string::npos) pin.secondText.resize(end);
    }
}

void ParseInto(std::string_view bytes, ComponentLibraryState& library, bool readSlotNames)
{
    LibraryReader in(bytes);
    std::uint16_t version = 0;
    try {
        version = in.U16();
    } catch (const ParseError&) {
        throw ParseError{kMsgCantReadComponentVersion};
    }
    if (version != kComponentFileVersion && version != kOldComponentFileVersion) throw ParseError{kMsgCantReadComponentVersion};
    const bool oldRevision = in.U16() < kComponentFileRevision;
    ComponentGroup root;
    ReadGroup(in, root, 0);
    const std::size_t slots = in.Count(2);
    std::array<std::string, kComponentSlotCount> names;
    for (std::size_t i = 0; i < slots; ++i) {
        std::string name = in.Counted();
        // Only ten slots exist; further names are read past and dropped.
        if (i < names.size()) names[i] = name.empty() ? std::to_string(i) : std::move(name);
    }
    for (std::size_t i = slots; i < names.size(); ++i) names[i] = library.slotNames[i];
    const std::size_t count = in.Count(kDefinitionRecordMin);
    LinkedList definitions(NewListRecord<ComponentDefinition>);
    for (std::size_t i = 0; i < count; ++i) {
        ComponentDefinition* d = ListAppendAs<ComponentDefinition>(definitions, kKindComponentDefinition);
        if (!d) throw ParseError{kMsgInsufficientMemory};
        ReadDefinition(in, *d, oldRevision);
        d->inputPinCount = static_cast<std::int16_t>(DefinitionInputPins(*d));
    }
    if (in.remaining() != 0) throw ParseError{kMsgBadFormatInFile};
    library.root = std::move(root);
    if (readSlotNames) library.slotNames = std::move(names);
    library.definitions = std::move(definitions);
}

int CollectIds(const ComponentGroup& group, std::set<int>& ids)
{
    for (const ComponentGroup& child : group.children) {
        ids.insert(child.id);
        CollectIds(child, ids);
    }
    return 0;
}

bool IsGateWithInputs(int type) { return (type >= kComponentAnd && type <= kComponentNor) || (type >= kComponentAo && type <= kComponentOai); }
bool IsEnabledGateWithInputs(int type) { return type >= 80 && type <= 83; }
bool IsProgrammableArray(int type) { return type >= kComponentPland && type <= kComponentPlnxorc; }

}  // namespace

ComponentLibraryState& ComponentLibrary()
{
    static ComponentLibraryState state;
    return state;
}

void ResetComponentLibraryForTests()
{
    ComponentLibraryState& library = ComponentLibrary();
    ListClear(library.definitions);
    ListClear(library.placeholders);
    library.root = ComponentGroup{};
    library.slotNames = {};
    library.fileTime = 0;
    library.path.clear();
}

ComponentDefinition* FindComponentDefinition(std::string_view name, const ComponentDefinition* except, bool skipShorts)
{
    if (name.empty()) return nullptr;
    const LinkedList& list = ComponentLibrary().definitions;
    auto skipped = [&](const ComponentDefinition& d) { return &d == except || (skipShorts && d.type == kComponentShort); };
    for (ComponentDefinition& definition : ListRecords<ComponentDefinition>(list)) {
        if (!skipped(definition) && definition.name == name) return &definition;
    }
    for (ComponentDefinition& definition : ListRecords<ComponentDefinition>(list)) {
        if (!skipped(definition) && EqualsNoCase(definition.name, name)) return &definition;
    }
    return nullptr;
}

int ComponentDefinitionCount() { return ComponentLibrary().definitions.count; }

ComponentDefinition* ComponentDefinitionAt(int index)
{
    int n = 0;
    for (ComponentDefinition& definition : ListRecords<ComponentDefinition>(ComponentLibrary().definitions))
        if (n++ == index) return &definition;
    return nullptr;
}

int ComponentDefinitionIndex(std::string_view name)
{
    int n = 0;
    for (const ComponentDefinition& definition : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) {
        if (EqualsNoCase(definition.name, name)) return n;
        ++n;
    }
    return -1;
}

ComponentDefinition* AddComponentDefinition(std::string_view name, int type, int shapeIndex)
{
    ComponentDefinition* definition =
        ListAppendAs<ComponentDefinition>(ComponentLibrary().definitions, kKindComponentDefinition);
    if (definition == nullptr) return nullptr;
    try {
        definition->name.assign(name);
    } catch (const std::bad_alloc&) {
        ListRemove(ComponentLibrary().definitions, definition);
        return nullptr;
    }
    definition->type = static_cast<std::uint16_t>(type);
    definition->shapeIndex = static_cast<std::uint16_t>(shapeIndex);
    return definition;
}

ComponentGroup* FindGroupById(ComponentGroup& group, int id)
{
    for (ComponentGroup& child : group.children) {
        if (child.id == id) return &child;
        if (ComponentGroup* found = FindGroupById(child, id)) return found;
    }
    return nullptr;
}

ComponentGroup* GroupOfDefinition(const ComponentDefinition& definition)
{
    return FindGroupById(ComponentLibrary().root, definition.groupId);
}

int NewGroupId()
{
    std::set<int> ids;
    CollectIds(ComponentLibrary().root, ids);
    int id = 0;
    while (ids.count(id)) ++id;
    return id;
}

bool IsNamedPinType(int type)
{
    return type == kComponentMacro || type == kComponentSubckt || type == kComponentLogicExp ||
           type == kComponentPinDly || type == kComponentConstraint;
}

void SetDefinitionPin(ComponentDefinition& definition, int pin, char letter, std::string_view name, std::string_view secondText)
{
    if (pin < 0 || pin >= static_cast<int>(definition.pins.size())) return;
    DefinitionPin& p = definition.pins[static_cast<std::size_t>(pin)];
    const auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
    const char l = lower(letter);
    std::string second;
    switch (definition.type) {
    case kComponentMacro:
    case kComponentSubckt: {
        const bool accepted = l == 'a' || l == 'd' || (definition.type == kComponentSubckt && l == '?');
        char fixed = accepted ? l : 'a';
        if (!secondText.empty()) {
            if (fixed >= 'a' && fixed <= 'z') fixed = static_cast<char>(fixed - 'a' + 'A');
            second.assign(secondText);
        }
        letter = fixed;
        break;
    }
    case kComponentLogicExp: letter = (l == 'i' || l == 'o') ? l : 'i'; break;
    case kComponentPinDly: letter = (l == 'i' || l == 'o' || l == 'e' || l == 'r') ? l : 'i'; break;
    case kComponentConstraint: letter = 'i'; break;
    default: break;
    }
    p.typeLetter = letter;
    p.name.assign(name);
    p.secondText = std::move(second);
}

bool IsMacroPinUpperType(const ComponentDefinition& definition, int pin)
{
    if (definition.type != kComponentMacro && definition.type != kComponentSubckt) return false;
    if (pin < 0 || pin >= static_cast<int>(definition.pins.size())) return false;
    const char c = definition.pins[static_cast<std::size_t>(pin)].typeLetter;
    return c >= 'A' && c <= 'Z';
}

int PinTextLength(const ComponentDefinition& definition, const DefinitionPin& pin)
{
    return static_cast<int>(PinText(definition, pin).size());
}

int TypePinCount(const ComponentDefinition& d)
{
    const ComponentTypeRow* row = FindComponentTypeRow(d.type);
    if (!row) return -1;
    if (IsNamedPinType(d.type)) return static_cast<int>(d.pins.size());
    if (row->pins >= 0) return row->pins;
    const int a = d.sizeA, b = d.sizeB;
    const auto inRange = [](int v) { return v >= 1 && v <= 32; };
    if (d.type == kComponentAdc) return inRange(a) ? a + 6 : -1;
    if (d.type == kComponentDac) return inRange(a) ? a + 3 : -1;
    if (d.type == kComponentStim || d.type == kComponentFstim) return inRange(b) ? b : -1;
    if (IsProgrammableArray(d.type)) return a >= 1 && b >= 1 && a + b <= 512 ? a + b : -1;
    if (IsGateWithInputs(d.type)) return a >= 1 && a <= 64 ? a + 1 : -1;
    if (IsEnabledGateWithInputs(d.type)) return a >= 1 && a <= 64 ? a + 2 : -1;
    return -1;
}

int DefinitionInputPins(const ComponentDefinition& d)
{
    const int a = d.sizeA;
    switch (d.type) {
    case kComponentPullup: case kComponentPulldn: return 1;
    case kComponentNbtg: case kComponentPbtg: return 3;
    case kComponentSevenSegment: return 7;
    case kComponentDigitalLed: return 1;
    case kComponentBuf: case kComponentInv: case kComponentDlyline: return 1;
    case kComponentXor: case kComponentNxor: return 2;
    case kComponentBuf3: case 79: return 2;
    case 84: case kComponentNxor3: return 3;
    case kComponentJkff: case kComponentSrff: return 5;
    case kComponentDff: case kComponentDltch: return 4;
    case kComponentAdc: return 4;
    case kComponentDac: return a + 3;
    case kComponentDigitalOutput: return static_cast<int>(d.pins.size());
    default: break;
    }
    if (IsGateWithInputs(d.type)) return a;
    if (IsEnabledGateWithInputs(d.type)) return a + 1;
    if (IsProgrammableArray(d.type)) return a;
    if (d.type == kComponentLogicExp || d.type == kComponentPinDly || d.type == kComponentConstraint) {
        int inputs = 0;
        for (const DefinitionPin& pin : d.pins) {
            if (pin.typeLetter == 'o') break;
            ++inputs;
        }
        return inputs;
    }
    return 0;
}

std::string SerializeComponentLibrary(const ComponentLibraryState& library)
{
    ByteWriter out;
    out.U16(kComponentFileVersion);
    out.U16(kComponentFileRevision);
    WriteGroup(out, library.root);
    out.U16(kComponentSlotCount);
    for (const std::string& name : library.slotNames) WriteCounted(out, name);
    out.U16(static_cast<std::uint16_t>(library.definitions.count));
    for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(library.definitions)) {
        out.U16(d.shapeIndex);
        out.U16(d.type);
        out.U16(d.placementFlags);
        out.U16(d.groupId);
        out.U16(d.sizeA);
        out.U16(d.sizeB);
        WriteCounted(out, d.memo);
        out.I16(d.attrOriginX);
        out.I16(d.attrOriginTurnedX);
        out.I16(d.attrOriginY);
        out.I16(d.attrOriginTurnedY);
        out.U16(static_cast<std::uint16_t>(d.pins.size()));
        WriteCounted(out, d.name);
        for (const DefinitionPin& pin : d.pins) {
            out.I16(pin.dx);
            out.I16(pin.dy);
        }
        for (const DefinitionPin& pin : d.pins) {
            out.I16(pin.textDx);
            out.I16(pin.textDy);
        }
        if (IsNamedPinType(d.type)) {
            for (const DefinitionPin& pin : d.pins) WriteCounted(out, PinText(d, pin));
        }
    }
    return out.Take();
}

int ParseComponentLibrary(std::string_view bytes, ComponentLibraryState& library, bool readSlotNames)
{
    try {
        ParseInto(bytes, library, readSlotNames);
        return 0;
    } catch (const ParseError& error) {
        return error.id;
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
}

int ReadComponentLibrary(const std::string& path, ComponentLibraryState& library, bool readSlotNames)
{
    library.fileTime = FileTimeOf(path);
    std::string bytes;
    if (int status = ReadWholeFile(path, bytes)) return status;
    return ParseComponentLibrary(bytes, library, readSlotNames);
}

int LoadComponentLibrary()
{
    ComponentLibraryState& library = ComponentLibrary();
    const std::string& dir = Frame().programDirectory;
    std::string path;
    LocateFile(path, (dir.empty() ? std::string(".") : dir) + "/comp.kq5", kLocateProgram, false);
    library.path = path;
    // A fresh load replaces every definition: a part chosen from the old ones is gone with them.
    SetChosenComponentDefinition(nullptr);
    const int status = ReadComponentLibrary(path, library, true);
    if (status != 0) SetErrorContext(path);
    return status;
}

int WriteComponentLibrary(ComponentLibraryState& library, win::HWND owner)
{
    if (library.path.empty()) return kMsgMissingFileName;
    if (!MayOverwriteLibraryFile(library.path, library.fileTime, owner)) return 0;
    std::string bytes;
    try {
        bytes = SerializeComponentLibrary(library);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    if (int status = ReplaceFileContents(library.path, bytes)) return status;
    library.fileTime = FileTimeOf(library.path);
    return 0;
}

int SaveComponentLibrary(win::HWND owner)
{
    ComponentLibraryState& library = ComponentLibrary();
    const int status = WriteComponentLibrary(library, owner);
    if (status != 0) {
        SetErrorContext(library.path);
        ReportMessage("DE", owner, status, library.path.c_str());
    }
    return status;
}

std::string DefaultPinName(const ComponentDefinition& definition, int pin)
{
    const auto lettered = [](const char* stem, int index) { return StrPrintf("%s%c", stem, static_cast<char>('A' + index)); };
    const ComponentTypeRow* row = FindComponentTypeRow(definition.type);
    if (!row || pin < 0) return {};
    if (IsNamedPinType(definition.type))
        return pin < static_cast<int>(definition.pins.size()) ? definition.pins[static_cast<std::size_t>(pin)].name : std::string();
    if (definition.type == kComponentAdc && pin >= 6) return "Out";
    if (definition.type == kComponentDac && pin >= 3) return definition.sizeA == 1 ? std::string("In") : lettered("In", pin - 3);
    if (row->pinNames == kPinNamesLayout) {
        const std::uint32_t layout = row->flags;
        int inputs = 0;
        if (layout & kTypeLayoutOneInOneOut) inputs = 1;
        if (layout & kTypeLayoutTwoInOneOut) inputs = 2;
        if (layout & kTypeLayoutInputsOneOut) inputs = definition.sizeA;
        if (pin < inputs) return inputs == 1 ? std::string("In") : lettered("In", pin);
        if ((layout & kTypeLayoutEnable) && pin == inputs) return "Enable";
        return "Out";
    }
    if (row->pinNames >= kPinNamesConnection && row->pinNames < kPinNamesLayout) return lettered("Pin", pin);
    std::string name = ComponentTypePinName(definition.type, pin);
    return name.empty() ? lettered("Pin", pin) : name;
}

void CopyDefinitionFields(ComponentDefinition& target, const ComponentDefinition& source)
{
    target.name = source.name;
    target.type = source.type;
    target.shapeIndex = source.shapeIndex;
    target.placementFlags = source.placementFlags;
    target.groupId = source.groupId;
    target.sizeA = source.sizeA;
    target.sizeB = source.sizeB;
    target.memo = source.memo;
    target.attrOriginX = source.attrOriginX;
    target.attrOriginY = source.attrOriginY;
    target.attrOriginTurnedX = source.attrOriginTurnedX;
    target.attrOriginTurnedY = source.attrOriginTurnedY;
    target.inputPinCount = source.inputPinCount;
    target.pins = source.pins;
}

void FreeComponentLibrary()
{
    ComponentLibraryState& library = ComponentLibrary();
    ListClear(library.definitions);
    library.root = ComponentGroup{};
}

}  // namespace kq5
