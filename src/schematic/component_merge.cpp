#include "schematic/component_merge.h"

#include <filesystem>
#include <map>
#include <new>

#include "document/file_dialogs.h"
#include "ui/status_text.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "platform/string_table.h"
#include "document/component_types.h"
#include "document/binary_io.h"
#include "document/component_library.h"
#include "document/shape_data.h"
#include "document/shape_library.h"

namespace kq5 {
namespace {

constexpr std::uint16_t kOldVersion = 3;
constexpr std::uint16_t kOldEntryCount = 200;
constexpr std::size_t kOldEntrySize = 46;
constexpr std::size_t kOldNameAt = 12;
constexpr std::size_t kOldNameSize = 17;
constexpr std::size_t kOldPinOrderAt = 29;
constexpr std::size_t kOldFlagAt = 45;
constexpr std::uint16_t kOldMaxPins = 64;

// The older files keep these kinds' pins in another order: bipolar transistors and MOSFETs
// turned through their first three, controlled sources and switches with the first two swapped.
void ReorderOldPins(int type, std::array<std::uint8_t, 16>& order)
{
    switch (type) {
    case kComponentNpn: case kComponentPnp: case kComponentNpn4: case kComponentPnp4:
    case kComponentPmos: case kComponentNmos: {
        const std::uint8_t first = order[0];
        order[0] = order[2];
        order[2] = order[1];
        order[1] = first;
        break;
    }
    case kComponentIofV: case kComponentIofI: case kComponentVofV: case kComponentVofI:
    case kComponentSwitch: case kComponentS: case kComponentW:
        std::swap(order[0], order[1]);
        break;
    default: break;
    }
}

// The NULL type, the types without a name and those whose pins are plain connections or named by
// the definition take their pins in natural order.
bool NaturalPinOrder(int type)
{
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    if (type == kComponentNull || !row || row->name == nullptr || row->name[0] == '\0') return true;
    return (row->pinNames >= kPinNamesConnection && row->pinNames < kPinNamesLayout) || row->pinNames == kPinNamesDefinition;
}

// The groups the merged components go to: a new one under the parent for the first component
// and after every 31.
class MergeGroups {
public:
    MergeGroups(int parentId, const char* name) : parentId_(parentId), name_(name) {}
    // The group for the next component; -1 when memory ran out.
    int Next()
    {
        if (current_ < 0 || placed_ == kMergeGroupSize) {
            ComponentGroup& root = ComponentLibrary().root;
            ComponentGroup* parent = parentId_ < 0 ? &root : FindGroupById(root, parentId_);
            if (!parent) parent = &root;
            ComponentGroup group;
            group.name = name_;
            group.id = static_cast<std::uint16_t>(NewGroupId());
            current_ = group.id;
            parent->children.push_back(std::move(group));
            parent->open = true;
            placed_ = 0;
        }
        ++placed_;
        return current_;
    }
    int Last() const { return current_ < 0 ? kNoMergeGroup : current_; }

private:
    int parentId_;
    const char* name_;
    int current_ = -1;
    int placed_ = 0;
};

void ShowProgress(const std::string& path, std::size_t done, std::size_t total)
{
    const auto format = FindStringTableText(kMsgMergeProgress);
    if (!format || total == 0) return;
    const std::string name = std::filesystem::path(path).filename().string();
    SetStatusText(StrPrintf(std::string(*format).c_str(), name.c_str(), static_cast<int>(done * 100 / total)));
}

// The index in the current shape library of a shape of the source library: the same-named shape
// when there is one, else a copy made now. Shapes a copy refers to come along the same way and
// its references are renumbered for the current library. -1 on failure.
int ImportShape(const ShapeLibrary& from, const ShapeRecord& source, int depth = 0)
{
    if (const int existing = FindShapeIndexByName(source.name); existing >= 0) return existing;
    if (depth > kMaxReferenceDepth) return -1;
    std::vector<int> referenced;
    ShapeDataReferences(source.data, referenced);
    std::map<int, int> renumbered;
    for (int old : referenced) {
        if (renumbered.count(old)) continue;
        const ShapeRecord* target =
            old >= 0 && static_cast<std::size_t>(old) < from.table.size() ? from.table[static_cast<std::size_t>(old)] : nullptr;
        const int now = target ? ImportShape(from, *target, depth + 1) : -1;
        if (now < 0) return -1;
        renumbered[old] = now;
    }
    ShapeLibrary& shapes = Shapes();
    const int index = AllocateShapeIndex(shapes);
    if (index < 0) return -1;
    ShapeRecord* copy = AddShapeRecord(shapes, source.name, index);
    if (!copy) return -1;
    try {
        copy->data = source.data;
        copy->nameTail = source.nameTail;
        RemapShapeDataReferences(copy->data, [&](int old) { return renumbered[old]; });
    } catch (const std::bad_alloc&) {
        RemoveShapeRecord(shapes, copy);
        return -1;
    }
    copy->extent = source.extent;
    copy->reserved = source.reserved;
    return index;
}

int FirstUsedShapeIndex()
{
    const ShapeLibrary& shapes = Shapes();
    for (std::size_t i = 1; i < shapes.table.size(); ++i)
        if (shapes.table[i]) return static_cast<int>(i);
    return 0;
}

ComponentGroup* FindGroupByName(ComponentGroup& group, const std::string& name)
{
    for (ComponentGroup& child : group.children) {
        if (child.name == name) return &child;
        if (ComponentGroup* found = FindGroupByName(child, name)) return found;
    }
    return nullptr;
}

// A file of that name in the directory, the name compared without regard to case.
std::string FindFileCaseBlind(const std::filesystem::path& directory, const std::string& name)
{
    std::error_code error;
    if (std::filesystem::exists(directory / name, error)) return (directory / name).string();
    for (const auto& entry : std::filesystem::directory_iterator(directory, error))
        if (EqualsNoCase(entry.path().filename().string(), name)) return entry.path().string();
    return {};
}

}  // namespace

int ReadOldComponentFile(const std::string& path, OldComponentFile& file)
{
    std::string bytes;
    if (int status = ReadWholeFile(path, bytes)) return status;
    try {
        ByteReader in(bytes);
        OldComponentFile read;
        if (in.U16() != kOldVersion || in.U16() != kOldEntryCount || in.U16() != kOldEntryCount || !in.ok())
            return kMsgErrorLoadingFile;
        read.entries.resize(kOldEntryCount);
        for (OldComponentEntry& entry : read.entries) {
            const std::string_view raw = in.Bytes(kOldEntrySize);
            if (!in.ok()) return kMsgErrorLoadingFile;
            ByteReader e(raw);
            entry.type = e.I16();
            for (std::int16_t& word : entry.placement) word = e.I16();
            const std::string_view name = raw.substr(kOldNameAt, kOldNameSize);
            entry.name.assign(name.substr(0, name.find('\0')));
            for (std::size_t i = 0; i < entry.pinOrder.size(); ++i)
                entry.pinOrder[i] = static_cast<std::uint8_t>(raw[kOldPinOrderAt + i]);
            entry.flags = static_cast<std::uint8_t>(raw[kOldFlagAt]);
        }
        while (in.remaining() > 0) {
            in.U16();
            const std::uint16_t count = in.U16();
            if (!in.ok() || count > kOldMaxPins) return kMsgErrorLoadingFile;
            auto& row = read.pinRows.emplace_back();
            for (int i = 0; i < count; ++i) {
                const std::string_view pair = in.Bytes(2);
                if (!in.ok()) return kMsgErrorLoadingFile;
                row.emplace_back(static_cast<std::int8_t>(pair[0]), static_cast<std::int8_t>(pair[1]));
            }
        }
        // Every used entry must name a type with a pin row, and its order bytes must point into it.
        for (OldComponentEntry& entry : read.entries) {
            if (entry.name.empty()) continue;
            if (entry.type < 0 || entry.type >= kComponentTypeCount || static_cast<std::size_t>(entry.type) >= read.pinRows.size())
                return kMsgErrorLoadingFile;
            const std::size_t pins = read.pinRows[static_cast<std::size_t>(entry.type)].size();
            if (NaturalPinOrder(entry.type)) continue;
            if (pins > entry.pinOrder.size()) return kMsgErrorLoadingFile;
            ReorderOldPins(entry.type, entry.pinOrder);
            for (std::size_t i = 0; i < pins; ++i)
                if (entry.pinOrder[i] == 0 || entry.pinOrder[i] > pins) return kMsgErrorLoadingFile;
        }
        file = std::move(read);
        return 0;
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
}

int FindShapeIndexByName(const std::string& name)
{
    if (name.empty()) return -1;
    for (const auto& record : Shapes().records)
        if (record && EqualsNoCase(record->name, name)) return record->index;
    return -1;
}

int ImportOldComponentFile(const std::string& path, int groupId, std::vector<std::string>& shapeless, int& status)
{
    OldComponentFile file;
    status = ReadOldComponentFile(path, file);
    if (status != 0) return kNoMergeGroup;
    MergeGroups groups(groupId, "KQ4 Group");
    for (std::size_t n = 0; n < file.entries.size(); ++n) {
        ShowProgress(path, n, file.entries.size());
        const OldComponentEntry& entry = file.entries[n];
        if (entry.name.empty() || FindComponentDefinition(entry.name)) continue;
        ComponentDefinition* d = AddComponentDefinition(entry.name, entry.type, 0);
        if (!d) {
            status = kMsgInsufficientMemory;
            break;
        }
        try {
            d->groupId = static_cast<std::uint16_t>(groups.Next());
            d->placementFlags = static_cast<std::uint16_t>(((kDefShowPart | kDefShowMain) & ~kDefOrientationMask) | (entry.flags << 8));
            int shape = FindShapeIndexByName(entry.name);
            if (shape < 0) {
                const ComponentTypeRow* row = FindComponentTypeRow(entry.type);
                shape = row ? FindShapeIndexByName(row->name) : -1;
            }
            if (shape < 0) shapeless.push_back(entry.name);
            d->shapeIndex = static_cast<std::uint16_t>(std::max(shape, 0));
            // Drawing units to grid units, truncating toward zero.
            d->attrOriginX = static_cast<std::int16_t>(entry.placement[0] / 8);
            d->attrOriginTurnedX = static_cast<std::int16_t>(entry.placement[1] / 8);
            d->attrOriginY = static_cast<std::int16_t>(entry.placement[2] / 8);
            d->attrOriginTurnedY = static_cast<std::int16_t>(entry.placement[3] / 8);
            const auto& row = file.pinRows[static_cast<std::size_t>(entry.type)];
            d->pins.resize(row.size());
            const bool natural = NaturalPinOrder(entry.type);
            for (std::size_t i = 0; i < row.size(); ++i) {
                const auto& at = row[natural ? i : static_cast<std::size_t>(entry.pinOrder[i] - 1)];
                d->pins[i].dx = at.first;
                d->pins[i].dy = at.second;
                if (entry.type == kComponentMacro || entry.type == kComponentSubckt)
                    SetDefinitionPin(*d, static_cast<int>(i), 'a', StrPrintf("Pin %c", static_cast<char>('A' + i)), "");
            }
        } catch (const std::bad_alloc&) {
            ListRemove(ComponentLibrary().definitions, d);
            status = kMsgInsufficientMemory;
            break;
        }
    }
    SetStatusText("");
    return groups.Last();
}

int MergeCurrentComponentFile(const std::string& path, const std::string& shapePath, int groupId, int& status)
{
    ComponentLibraryState source;
    status = ReadComponentLibrary(path, source, false);
    if (status != 0) return kNoMergeGroup;
    ShapeLibrary shapes;
    status = ReadShapeLibrary(shapePath, shapes);
    if (status != 0) return kNoMergeGroup;
    MergeGroups groups(groupId, "KQ5 Group");
    // The group of the last component added: a new "KQ5 Group" or one of the same name.
    int last = kNoMergeGroup;
    const std::size_t total = static_cast<std::size_t>(source.definitions.count);
    std::size_t n = 0;
    for (const ComponentDefinition& from : ListRecords<ComponentDefinition>(source.definitions)) {
        ShowProgress(path, n++, total);
        if (FindComponentDefinition(from.name)) continue;
        int shape = FirstUsedShapeIndex();
        const ShapeRecord* sourceShape =
            from.shapeIndex < shapes.table.size() ? shapes.table[from.shapeIndex] : nullptr;
        if (sourceShape) {
            shape = ImportShape(shapes, *sourceShape);
            if (shape < 0) {
                status = kMsgInsufficientMemory;
                break;
            }
        }
        ComponentDefinition* d = AddComponentDefinition(from.name, from.type, shape);
        if (!d) {
            status = kMsgInsufficientMemory;
            break;
        }
        try {
            CopyDefinitionFields(*d, from);
            d->shapeIndex = static_cast<std::uint16_t>(shape);
            const ComponentGroup* fromGroup = FindGroupById(source.root, from.groupId);
            ComponentGroup* same = fromGroup ? FindGroupByName(ComponentLibrary().root, fromGroup->name) : nullptr;
            d->groupId = static_cast<std::uint16_t>(same ? same->id : groups.Next());
            last = d->groupId;
        } catch (const std::bad_alloc&) {
            ListRemove(ComponentLibrary().definitions, d);
            status = kMsgInsufficientMemory;
            break;
        }
    }
    SetStatusText("");
    return last;
}

int MergeComponentLibrary(win::HWND editor, int groupId)
{
    std::string path, directory, name;
    if (!AskOpenFileName(nullptr, "Open Component", "Component Files (*.kq5;*.kq4)|*.kq5;*.kq4|All Files (*.*)|*.*|", path,
                         directory, name))
        return kNoMergeGroup;
    const std::size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    int status = 0;
    int last = kNoMergeGroup;
    if (EqualsNoCase(extension, "KQ4")) {
        std::vector<std::string> shapeless;
        last = ImportOldComponentFile(path, groupId, shapeless, status);
        if (status == 0 && !shapeless.empty()) {
            std::string names;
            for (const std::string& n : shapeless) names += (names.empty() ? "" : ", ") + n;
            ReportMessage("DE", editor, kMsgShapesNotFound, names.c_str());
        }
    } else if (EqualsNoCase(extension, "KQ5")) {
        std::string shapePath;
        if (name.size() >= 4 && EqualsNoCase(name.substr(0, 4), "comp"))
            shapePath = FindFileCaseBlind(directory.empty() ? std::filesystem::path(".") : std::filesystem::path(directory),
                                          "SHAPE" + name.substr(4));
        if (shapePath.empty()) {
            std::string shapeDirectory, shapeName;
            if (!AskOpenFileName(nullptr, "Open Shape", "Shape Files (*.kq5)|*.kq5|All Files (*.*)|*.*|", shapePath, shapeDirectory,
                                 shapeName))
                return kNoMergeGroup;
        }
        last = MergeCurrentComponentFile(path, shapePath, groupId, status);
    } else {
        return kNoMergeGroup;
    }
    if (status != 0) ReportMessage("DE", editor, status, path.c_str());
    return last;
}

}  // namespace kq5
