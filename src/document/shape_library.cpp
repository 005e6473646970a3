#include "document/shape_library.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "core/error_context.h"
#include "ui/frame_state.h"
#include "document/settings_file.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "document/file_names.h"
#include "platform/message_box.h"
#include "document/binary_io.h"
#include "document/shape_data.h"

namespace kq5 {
namespace {

constexpr std::uint16_t kShapeFileVersion = 8;
constexpr std::uint16_t kOldShapeFileVersion = 7;
constexpr std::size_t kShapeRecordHeader = 38;

ShapeRecord*& CurrentShapeSlot()
{
    static ShapeRecord* current = nullptr;
    return current;
}

void ClearLibrary(ShapeLibrary& library)
{
    if (CurrentShapeSlot() && std::any_of(library.records.begin(), library.records.end(),
                                          [](const auto& r) { return r.get() == CurrentShapeSlot(); }))
        CurrentShapeSlot() = nullptr;
    library.records.clear();
    library.table.clear();
}

// Every shape reachable from one through its references must not lead back to it: the drawing
// and the editor follow references recursively.
bool HasReferenceCycle(const ShapeLibrary& library)
{
    const std::size_t n = library.table.size();
    std::vector<std::vector<int>> edges(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (library.table[i]) ShapeDataReferences(library.table[i]->data, edges[i]);
    }
    // 0 unvisited, 1 on the current path, 2 done.
    std::vector<std::uint8_t> state(n, 0);
    std::vector<std::pair<int, std::size_t>> stack;
    for (std::size_t start = 0; start < n; ++start) {
        if (state[start] != 0 || !library.table[start]) continue;
        stack.emplace_back(static_cast<int>(start), 0);
        state[start] = 1;
        while (!stack.empty()) {
            auto& [node, next] = stack.back();
            const auto& out = edges[static_cast<std::size_t>(node)];
            if (next >= out.size()) {
                state[static_cast<std::size_t>(node)] = 2;
                stack.pop_back();
                continue;
            }
            const int target = out[next++];
            if (target < 0 || static_cast<std::size_t>(target) >= n || !library.table[static_cast<std::size_t>(target)])
                continue;
            if (state[static_cast<std::size_t>(target)] == 1) return true;
            if (state[static_cast<std::size_t>(target)] == 0) {
                state[static_cast<std::size_t>(target)] = 1;
                stack.emplace_back(target, 0);
            }
        }
    }
    return false;
}

int ParseInto(std::string_view bytes, ShapeLibrary& library)
{
    ByteReader in(bytes);
    const std::uint16_t version = in.U16();
    if (!in.ok() || (version != kShapeFileVersion && version != kOldShapeFileVersion)) return kMsgCantReadShapeVersion;
    const std::uint16_t count = in.U16();
    int tableSize = in.I16();
    if (!in.ok()) return kMsgBadFormatInFile;
    if (version == kOldShapeFileVersion) ++tableSize;
    // Every record takes at least its header: a count the file cannot hold is damage, and no
    // table is made for it.
    if (tableSize < 0 || static_cast<std::size_t>(count) * kShapeRecordHeader > in.remaining()) return kMsgBadFormatInFile;
    library.table.assign(static_cast<std::size_t>(tableSize), nullptr);
    library.records.reserve(count);
    for (int r = 0; r < count; ++r) {
        auto record = std::make_unique<ShapeRecord>();
        int index = in.I16();
        const std::string_view name = in.Bytes(16);
        record->extent.left = in.I32();
        record->extent.top = in.I32();
        record->extent.right = in.I32();
        record->extent.bottom = in.I32();
        const std::uint32_t length = in.U32();
        if (!in.ok() || length > in.remaining()) return kMsgBadFormatInFile;
        for (const long v : {record->extent.left, record->extent.top, record->extent.right, record->extent.bottom}) {
            if (!ShapeCoordinateInRange(v)) return kMsgBadFormatInFile;
        }
        if (index < 0 || index >= tableSize) return kMsgBadFormatInFile;
        const std::size_t nul = name.find('\0');
        if (nul == std::string_view::npos) return kMsgBadFormatInFile;
        record->name.assign(name.substr(0, nul));
        record->nameTail.assign(name.substr(nul));
        if (length > 0) {
            const std::string_view block = in.Bytes(length);
            record->data.assign(block.begin(), block.end());
        }
        auto& slots = library.table;
        if (slots[static_cast<std::size_t>(index)] != nullptr) {
            // A repeated index moves to the first free slot below it or above the shape count.
            for (int j = 0; j < tableSize; ++j) {
                if (slots[static_cast<std::size_t>(j)] == nullptr && (j < index || j > count)) {
                    index = j;
                    break;
                }
            }
        }
        record->index = static_cast<std::int16_t>(index);
        slots[static_cast<std::size_t>(index)] = record.get();
        library.records.push_back(std::move(record));
    }
    if (in.remaining() != 0) return kMsgBadFormatInFile;
    for (const auto& record : library.records) {
        if (!ShapeDataIsValid(record->data, tableSize)) return kMsgBadFormatInFile;
    }
    if (HasReferenceCycle(library)) return kMsgBadFormatInFile;
    return 0;
}

std::string ProgramDirectory()
{
    const std::string& dir = Frame().programDirectory;
    return dir.empty() ? std::string(".") : dir;
}

}  // namespace

ShapeLibrary& Shapes()
{
    static ShapeLibrary library;
    return library;
}

void ResetShapeLibraryForTests()
{
    ClearLibrary(Shapes());
    Shapes().fileTime = 0;
    Shapes().path.clear();
    CurrentShapeSlot() = nullptr;
}

ShapeRecord* FindShapeRecord(int index)
{
    const auto& table = Shapes().table;
    if (index <= 0 || index >= static_cast<int>(table.size())) return nullptr;
    return table[static_cast<std::size_t>(index)];
}

const ComponentShape* FindShape(int index) { return FindShapeRecord(index); }

int IsShapeIndexUsed(int index) { return FindShape(index) != nullptr ? 1 : 0; }

bool SetShape(int index, const ComponentShape& shape)
{
    if (index <= 0 || index > 0x7FFF) return false;
    try {
        ShapeLibrary& library = Shapes();
        auto record = std::make_unique<ShapeRecord>(shape);
        record->index = static_cast<std::int16_t>(index);
        if (index >= static_cast<int>(library.table.size())) library.table.resize(static_cast<std::size_t>(index) + 1, nullptr);
        if (ShapeRecord* old = library.table[static_cast<std::size_t>(index)]) RemoveShapeRecord(library, old);
        library.table[static_cast<std::size_t>(index)] = record.get();
        library.records.push_back(std::move(record));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

ShapeRecord* FindShapeByName(std::string_view name)
{
    for (const auto& record : Shapes().records) {
        if (EqualsNoCase(record->name, name)) return record.get();
    }
    return nullptr;
}

std::string SerializeShapeLibrary(const ShapeLibrary& library)
{
    int largest = 0;
    for (const auto& record : library.records) largest = std::max<int>(largest, record->index);
    ByteWriter out;
    out.U16(kShapeFileVersion);
    out.U16(static_cast<std::uint16_t>(library.records.size()));
    out.U16(static_cast<std::uint16_t>(largest + 1));
    for (const auto& record : library.records) {
        out.U16(static_cast<std::uint16_t>(record->index));
        // The name field keeps the bytes behind the NUL that were read, so a file saves back
        // byte for byte; a new name gets zeros.
        std::string field = record->name.substr(0, kShapeNameMax);
        field += record->nameTail.empty() ? std::string(1, '\0') : record->nameTail;
        field.resize(16, '\0');
        field[std::min(record->name.size(), kShapeNameMax)] = '\0';
        out.Bytes(field);
        out.I32(record->extent.left);
        out.I32(record->extent.top);
        out.I32(record->extent.right);
        out.I32(record->extent.bottom);
        out.U32(static_cast<std::uint32_t>(record->data.size()));
        out.Bytes(std::string_view(reinterpret_cast<const char*>(record->data.data()), record->data.size()));
    }
    return out.Take();
}

int ParseShapeLibrary(std::string_view bytes, ShapeLibrary& library)
{
    ClearLibrary(library);
    int status;
    try {
        status = ParseInto(bytes, library);
    } catch (const std::bad_alloc&) {
        status = kMsgInsufficientMemory;
    }
    if (status != 0) ClearLibrary(library);
    return status;
}

int ReadShapeLibrary(const std::string& path, ShapeLibrary& library)
{
    ClearLibrary(library);
    library.fileTime = FileTimeOf(path);
    std::string bytes;
    if (int status = ReadWholeFile(path, bytes)) return status;
    return ParseShapeLibrary(bytes, library);
}

int LoadShapeLibrary(const std::string& path, ShapeLibrary& library)
{
    const int status = ReadShapeLibrary(path, library);
    if (status == 0) return 0;
    SetErrorContext(path);
    ReportMessage("E", status, path.c_str());
    return kMsgAlreadyReported;
}

int OpenShapeLibraryFile(std::string& path)
{
    const std::string& data = SettingsFile().dataPath;
    std::string found;
    if (!data.empty() && LocateFile(found, data + "/shape.kq5", kLocateProgram, false) == 0 && CheckFileAccess(found) == 0) {
        path = found;
        return 0;
    }
    return LocateFile(path, ProgramDirectory() + "/shape.kq5", kLocateProgram, false);
}

int LoadShapeLibraryFile()
{
    ShapeLibrary& library = Shapes();
    std::string path;
    OpenShapeLibraryFile(path);
    library.path = path;
    const int status = ReadShapeLibrary(path, library);
    if (status != 0) SetErrorContext(path);
    return status;
}

int WriteShapeLibrary(ShapeLibrary& library, win::HWND owner)
{
    if (library.path.empty()) return 0;
    if (!MayOverwriteLibraryFile(library.path, library.fileTime, owner)) return 0;
    std::string bytes;
    try {
        bytes = SerializeShapeLibrary(library);
    } catch (const std::bad_alloc&) {
        ReportMessage("DE", owner, kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    if (int status = ReplaceFileContents(library.path, bytes)) {
        SetErrorContext(library.path);
        ReportMessage("DE", owner, status, library.path.c_str());
        return kMsgAlreadyReported;
    }
    library.fileTime = FileTimeOf(library.path);
    return 0;
}

bool MayOverwriteLibraryFile(const std::string& path, std::time_t stamp, win::HWND owner)
{
    if (FileTimeOf(path) == stamp) return true;
    return ReportMessage("DSE", owner, static_cast<unsigned>(win::MB_YESNO | win::MB_ICONQUESTION), kMsgFileChangedOnDisk,
                         path.c_str()) == win::IDYES;
}

int SaveShapeLibrary(win::HWND owner) { return WriteShapeLibrary(Shapes(), owner); }

void FreeShapeLibrary() { ClearLibrary(Shapes()); }

void SetCurrentShape(ShapeRecord* record) { CurrentShapeSlot() = record; }
ShapeRecord* CurrentShape() { return CurrentShapeSlot(); }

int AllocateShapeIndex(ShapeLibrary& library)
{
    for (std::size_t i = 1; i < library.table.size(); ++i) {
        if (library.table[i] == nullptr) return static_cast<int>(i);
    }
    const std::size_t next = std::max<std::size_t>(library.table.size(), 1);
    if (next > 0x7FFF) return -1;
    try {
        library.table.resize(next + 1, nullptr);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return static_cast<int>(next);
}

ShapeRecord* AddShapeRecord(ShapeLibrary& library, std::string_view name, int index)
{
    if (index <= 0 || index > 0x7FFF) return nullptr;
    try {
        if (static_cast<std::size_t>(index) >= library.table.size()) library.table.resize(static_cast<std::size_t>(index) + 1, nullptr);
        auto record = std::make_unique<ShapeRecord>();
        record->name.assign(name.substr(0, kShapeNameMax));
        record->index = static_cast<std::int16_t>(index);
        library.table[static_cast<std::size_t>(index)] = record.get();
        library.records.push_back(std::move(record));
        return library.records.back().get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void RemoveShapeRecord(ShapeLibrary& library, ShapeRecord* record)
{
    if (!record) return;
    for (auto& slot : library.table) {
        if (slot == record) slot = nullptr;
    }
    if (CurrentShapeSlot() == record) CurrentShapeSlot() = nullptr;
    std::erase_if(library.records, [record](const auto& r) { return r.get() == record; });
}

}  // namespace kq5
