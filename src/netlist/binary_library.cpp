// Reading and writing binary model libraries, and the records that hold them.
#include "netlist/binary_library.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <new>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/file_names.h"
#include "netlist/library_bytes.h"
#include "netlist/library_progress.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_library_window.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

// The parameter order of a version-4 type: its version-5 type, how many values it stored, and
// the version-5 names of its positions (none: the positions are the version-5 indices).
struct OldTypeLayout {
    int oldType;
    int newType;
    int count;
    const char* order;
};

constexpr OldTypeLayout kOldTypeLayouts[] = {
    {0, kModelOpa, 20, nullptr},
    {1, kModelDiode, 15, "IS RS N TT CJO VJ M EG XTI KF AF FC BV IBV RL"},
    {2, kModelNpn, 40,
     "BF BR XTB IS EG CJC CJE RB RC VAF TF TR MJC VJC MJE VJE CJS VAR NF NR ISE ISC IKF IKR NE NC RE IRB RBM "
     "VTF ITF XTF PTF XCJC VJS MJS XTI KF AF FC"},
    {3, kModelNmos, 52, nullptr},
    {4, kModelNjf, 12, "VTO BETA LAMBDA RD RS CGS CGD PB IS KF AF FC"},
    {5, kModelPul, 7, nullptr},
    {6, kModelSin, 8, "F A DC PH RS RP TAU"},  // the eighth value has no place any more
    {8, kModelCore, 9, "AREA PATH GAP PACK MS ALPHA A C K"},
    {9, kModelGasfet, 20, "LEVEL VTO BETA LAMBDA RD RS CGS CGD VBI IS KF AF FC RG B ALPHA M CDS VTOTC BETATCE"},
};

const OldTypeLayout* FindOldTypeLayout(int oldType)
{
    for (const OldTypeLayout& layout : kOldTypeLayouts)
        if (layout.oldType == oldType) return &layout;
    return nullptr;
}

// The version-5 index of each version-4 position of a layout (-1: dropped).
std::vector<int> OldPositions(const OldTypeLayout& layout)
{
    std::vector<int> positions;
    if (!layout.order) {
        for (int i = 0; i < layout.count; ++i) positions.push_back(i);
        return positions;
    }
    std::string_view order(layout.order);
    while (!order.empty()) {
        const std::size_t blank = order.find(' ');
        positions.push_back(FindModelParamIndex(layout.newType, order.substr(0, blank)));
        order = blank == std::string_view::npos ? std::string_view() : order.substr(blank + 1);
    }
    return positions;
}

// A version-4 value is kept when it is 0 or a normal float32 magnitude.
bool IsConvertibleValue(float value)
{
    const float magnitude = std::fabs(value);
    return value == 0.0f || (magnitude >= 1.175494351e-38f && magnitude <= 3.402823466e38f);
}

void FillDefaults(ModelLibraryEntry& entry, const ModelTypeRow& row)
{
    entry.params.assign(static_cast<std::size_t>(row.libraryCount), 0.0f);
    for (int i = 0; i < row.libraryCount && i < row.statementCount; ++i)
        entry.params[static_cast<std::size_t>(i)] = row.params[i].defaultValue;
}

// The text of a fixed field up to its terminator; false when the field has none.
bool TerminatedText(std::string_view field, std::string& out)
{
    const std::size_t end = field.find('\0');
    if (end == std::string_view::npos) return false;
    out.assign(field.substr(0, end));
    return true;
}

// A file read field by field, never past its end.
class LibraryReader {
public:
    LibraryReader(std::FILE* stream, long length) : stream_(stream), remaining_(std::max(length, 0L)) {}

    bool Read(std::string& buffer, std::size_t size)
    {
        if (static_cast<long>(size) > remaining_) return false;
        buffer.resize(size);
        if (size && std::fread(buffer.data(), 1, size, stream_) != size) return false;
        remaining_ -= static_cast<long>(size);
        return true;
    }
    bool Skip(std::size_t size)
    {
        if (static_cast<long>(size) > remaining_) return false;
        if (std::fseek(stream_, static_cast<long>(size), SEEK_CUR) != 0) return false;
        remaining_ -= static_cast<long>(size);
        return true;
    }
    long Remaining() const { return remaining_; }

private:
    std::FILE* stream_;
    long remaining_;
};

// Why a file cannot be a library: a reason text for message 12504.
struct Damage {
    int id = 0;
    int first = 0;
    int second = 0;
};

class LibraryLoader {
public:
    LibraryLoader(LibraryReader& reader, int version) : reader_(reader), version_(version) {}

    // Reads `count` entries into `entries`; false with the damage found.
    bool ReadEntries(int count, LinkedList& entries)
    {
        const std::size_t recordSize = version_ == kLibraryFileVersion ? kLibraryEntryRecord : kLibraryOldEntryRecord;
        if (count < 0 || static_cast<long>(count) * static_cast<long>(recordSize) > reader_.Remaining())
            return Fail(kMsgLibraryBadCount, count);
        for (int n = 1; n <= count; ++n) {
            std::string record;
            if (!reader_.Read(record, recordSize)) return Fail(kMsgLibraryEndsInEntry, n);
            const int blockSize = GetLeInt16(record, 0);
            if (blockSize < 0 || blockSize > reader_.Remaining()) return Fail(kMsgLibraryBadBlock, n, blockSize);
            std::string block;
            if (!reader_.Read(block, static_cast<std::size_t>(blockSize))) return Fail(kMsgLibraryEndsInEntry, n);
            const bool ok = version_ == kLibraryFileVersion ? TakeEntry(record, block, entries)
                                                            : TakeOldEntry(record, block, entries);
            if (!ok) {
                if (damage_.id == 0) damage_ = {kMsgLibraryBadText, n, 0};
                return false;
            }
        }
        return true;
    }

    const Damage& Found() const { return damage_; }
    bool OutOfMemory() const { return outOfMemory_; }
    int leftOut = 0;
    int emptied = 0;

private:
    bool Fail(int id, int first, int second = 0)
    {
        damage_ = {id, first, second};
        return false;
    }

    ModelLibraryEntry* Append(LinkedList& entries)
    {
        try {
            ModelLibraryEntry* entry = ListAppendAs<ModelLibraryEntry>(entries, kKindNone);
            if (!entry) outOfMemory_ = true;
            return entry;
        } catch (const std::bad_alloc&) {
            outOfMemory_ = true;
            return nullptr;
        }
    }

    bool TakeEntry(std::string_view record, std::string_view block, LinkedList& entries)
    {
        std::string name, memo;
        if (!TerminatedText(record.substr(2, kLibraryNameField), name) ||
            !TerminatedText(record.substr(2 + kLibraryNameField + 2, kLibraryMemoField), memo))
            return false;
        const int type = GetLeInt16(record, 2 + kLibraryNameField);
        const ModelTypeRow* row = FindModelTypeRow(type);
        if (!row) {
            ++leftOut;
            return true;
        }
        ModelLibraryEntry* entry = Append(entries);
        if (!entry) return false;
        entry->name = std::move(name);
        entry->memo = std::move(memo);
        entry->type = type;
        entry->params.assign(static_cast<std::size_t>(row->libraryCount), 0.0f);
        if (block.size() != entry->params.size() * 4) {
            ++emptied;
            return true;
        }
        for (std::size_t i = 0; i < entry->params.size(); ++i) {
            const float value = GetFloat32(block, i * 4);
            // A value that is no number would poison every result that uses the model.
            const bool usable = std::isfinite(value) || static_cast<int>(i) >= row->statementCount;
            entry->params[i] = usable ? value : row->params[i].defaultValue;
        }
        return true;
    }

    bool TakeOldEntry(std::string_view record, std::string_view block, LinkedList& entries)
    {
        std::string memo;
        if (!TerminatedText(record.substr(2 + kLibraryOldNameField + 2, kLibraryMemoField), memo)) return false;
        std::string_view name = record.substr(2, kLibraryOldNameField);
        name = name.substr(0, std::min(name.find('\0'), name.size()));
        const OldTypeLayout* layout = FindOldTypeLayout(GetLeInt16(record, 2 + kLibraryOldNameField));
        if (!layout) {
            ++leftOut;
            return true;
        }
        int type = layout->newType;
        if (!memo.empty() && ToUpperChar(memo.front()) == 'P') {
            if (type == kModelNpn) type = kModelPnp;
            if (type == kModelNmos) type = kModelPmos;
            if (type == kModelNjf) type = kModelPjf;
        }
        const ModelTypeRow& row = *FindModelTypeRow(type);
        ModelLibraryEntry* entry = Append(entries);
        if (!entry) return false;
        entry->name.assign(name);
        entry->memo = std::move(memo);
        entry->type = type;
        FillDefaults(*entry, row);
        const std::vector<int> positions = OldPositions(*layout);
        const std::size_t stored = std::min(positions.size(), block.size() / 4);
        for (std::size_t i = 0; i < stored; ++i) {
            const float value = GetFloat32(block, i * 4);
            const int index = positions[i];
            if (index >= 0 && index < row.libraryCount && IsConvertibleValue(value))
                entry->params[static_cast<std::size_t>(index)] = value;
        }
        return true;
    }

    LibraryReader& reader_;
    int version_;
    Damage damage_;
    bool outOfMemory_ = false;
};

// Moves every entry of `from` behind the entries of `to`.
void SpliceEntries(LinkedList& to, LinkedList& from)
{
    if (!from.head) return;
    if (to.tail)
        to.tail->next = from.head;
    else
        to.head = from.head;
    to.tail = from.tail;
    to.count += from.count;
    from.head = from.tail = nullptr;
    from.count = 0;
}

WindowRecord* ReportOwner(const ModelLibrary& library) { return library.record ? library.record : CurrentRecord(); }

int ReportDamage(const ModelLibrary& library, const std::string& name, const Damage& damage)
{
    const std::string reason = StrPrintf(LoadResString(damage.id).c_str(), damage.first, damage.second);
    ReportMessage("WtE", ReportOwner(library), name, kMsgLibraryDamaged, name, reason);
    return kMsgAlreadyReported;
}

}  // namespace

ModelLibrary* NewModelLibraryRecord(const std::string& title)
{
    WindowRecord* record = nullptr;
    try {
        record = NewWindowRecord(nullptr, kWindowModelLibrary);
        if (!record) return nullptr;
        SetRecordTitle(record, title);
    } catch (const std::bad_alloc&) {
        ReportMessage("E", kMsgInsufficientMemory);
        return nullptr;
    }
    ModelLibrary* library = AttachModelLibrary(record);
    if (!library) FreeWindowRecord(record);
    return library;
}

namespace {

// Reading and writing a library window's file go through the window's library.
void InstallModelLibraryFileHooks()
{
    ModelLibraryFileHooks& hooks = ModelLibraryFiles();
    if (hooks.load) return;
    hooks.release = [](WindowRecord* record) {
        ModelLibrary* library = ModelLibraryOf(record);
        if (library) ReleaseModelLibrary(*library);
        return library != nullptr;
    };
    hooks.load = [](WindowRecord* record, const std::string& path, bool report) {
        ModelLibrary* library = ModelLibraryOf(record);
        if (library == nullptr) return kMsgInsufficientMemory;
        const int status = LoadModelLibrary(*library, path, report);
        if (status == 0) RefreshModelEditor(record);
        return status;
    };
    hooks.trial = [](const std::string& path) {
        ModelLibrary scratch;
        const int status = LoadModelLibrary(scratch, path, false);
        ReleaseModelLibrary(scratch);
        return status;
    };
    hooks.modified = [](const WindowRecord* record) {
        const ModelLibrary* library = ModelLibraryOf(record);
        return library != nullptr && IsLibraryModified(*library);
    };
    hooks.save = [](WindowRecord* record, const std::string& path, int& status) {
        ModelLibrary* library = ModelLibraryOf(record);
        if (library == nullptr) return false;
        StoreFocusedModelField(record);
        status = SaveModelLibrary(*library, path);
        return true;
    };
}

}  // namespace

ModelLibrary* AttachModelLibrary(WindowRecord* record)
{
    InstallModelLibraryFileHooks();
    if (ModelLibrary* library = ModelLibraryOf(record)) return library;
    try {
        auto library = std::make_unique<ModelLibrary>();
        library->record = record;
        Libraries().windows.push_back(std::move(library));
        return Libraries().windows.back().get();
    } catch (const std::bad_alloc&) {
        ReportMessage("E", kMsgInsufficientMemory);
        return nullptr;
    }
}

void DetachModelLibrary(WindowRecord* record)
{
    ModelLibrary* library = ModelLibraryOf(record);
    if (!library) return;
    library->record = nullptr;
    FreeModelLibraryRecord(library);
}

void FreeModelLibraryRecord(ModelLibrary*& library)
{
    if (!library) return;
    std::vector<std::unique_ptr<ModelLibrary>>& windows = Libraries().windows;
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->get() != library) continue;
        ReleaseModelLibrary(**it);
        WindowRecord* record = (*it)->record;
        if (record && IsLiveWindowRecord(record)) FreeWindowRecord(record);
        windows.erase(it);
        break;
    }
    library = nullptr;
}

ModelLibrary* ModelLibraryOf(const WindowRecord* record)
{
    if (!record) return nullptr;
    for (const std::unique_ptr<ModelLibrary>& library : Libraries().windows)
        if (library->record == record) return library.get();
    return nullptr;
}

void ReleaseModelLibrary(ModelLibrary& library) { ListClear(library.entries); }

bool IsLibraryModified(const ModelLibrary& library)
{
    return library.record ? library.record->modified != 0 : library.modified;
}

void SetLibraryModified(ModelLibrary& library, bool modified)
{
    if (library.record)
        library.record->modified = modified ? 1 : 0;
    else
        library.modified = modified;
}

bool IsBinaryModelLibrary(const std::string& name)
{
    FileStream stream = OpenFileRead(name);
    if (!stream) return false;
    std::string bytes(2, '\0');
    if (std::fread(bytes.data(), 1, 2, stream.get()) != 2) return false;
    const int version = GetLeInt16(bytes, 0);
    return version == kLibraryFileVersion || version == kLibraryOldFileVersion;
}

int LoadModelLibrary(ModelLibrary& library, const std::string& name, bool report, LibraryLoadResult* result)
{
    WaitCursorScope wait;
    FileStream stream = OpenFileRead(name);
    if (!stream) {
        const int id = ErrnoToMessageId(errno == 0 ? ENOENT : errno);
        if (report) ReportMessage("WtE", ReportOwner(library), name, id, name);
        return id;
    }
    LibraryReader reader(stream.get(), FileLengthOfStream(stream.get()));
    std::string header;
    const bool haveHeader = reader.Read(header, kLibraryHeader);
    const int version = haveHeader ? GetLeInt16(header, 0) : 0;
    if (version != kLibraryFileVersion && version != kLibraryOldFileVersion) {
        ReportMessage("WtE", ReportOwner(library), name, kMsgLibraryWrongVersion, name);
        return kMsgAlreadyReported;
    }
    const bool converting = version == kLibraryOldFileVersion;
    StatusTextScope status;
    if (converting && StatusBarShown()) status.Show(StrPrintf(LoadResString(kMsgConvertingLibrary).c_str(), name.c_str()));

    // Entries are read apart and joined to the library only when the whole file was good.
    LinkedList loaded(&NewListRecord<ModelLibraryEntry>);
    LibraryLoader loader(reader, version);
    if (!loader.ReadEntries(GetLeInt16(header, 2), loaded)) {
        ListClear(loaded);
        if (loader.OutOfMemory()) {
            ReportMessage("WE", ReportOwner(library), kMsgInsufficientMemory);
            return kMsgInsufficientMemory;
        }
        return ReportDamage(library, name, loader.Found());
    }
    SpliceEntries(library.entries, loaded);
    // A converted library is written as version 5 only when the user saves it.
    if (converting) SetLibraryModified(library, true);
    if (report && (loader.leftOut || loader.emptied))
        ReportMessage("WtE", ReportOwner(library), name, kMsgLibraryEntriesLost, name, loader.leftOut, loader.emptied);
    if (result) *result = {version, loader.leftOut, loader.emptied};
    return 0;
}

std::string EncodeModelLibrary(const ModelLibrary& library)
{
    std::string bytes;
    AppendLe16(bytes, kLibraryFileVersion);
    AppendLe16(bytes, static_cast<std::uint16_t>(library.entries.count));
    AppendLe16(bytes, 0);
    for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries)) {
        const ModelTypeRow* row = FindModelTypeRow(entry.type);
        const int count = row ? row->libraryCount : 0;
        AppendLe16(bytes, static_cast<std::uint16_t>(4 * count));
        AppendFixedText(bytes, entry.name, kLibraryNameField);
        AppendLe16(bytes, static_cast<std::uint16_t>(entry.type));
        AppendFixedText(bytes, entry.memo, kLibraryMemoField);
        for (int i = 0; i < count; ++i) {
            const std::size_t slot = static_cast<std::size_t>(i);
            AppendFloat32(bytes, slot < entry.params.size() ? entry.params[slot] : 0.0f);
        }
    }
    return bytes;
}

int SaveModelLibrary(ModelLibrary& library, const std::string& name)
{
    WaitCursorScope wait;
    if (library.entries.count > kLibraryMaxEntries) {
        ReportMessage("WE", ReportOwner(library), kMsgLibraryTooManyEntries, library.entries.count);
        return kMsgAlreadyReported;
    }
    std::string bytes;
    try {
        bytes = EncodeModelLibrary(library);
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", ReportOwner(library), kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    // Written beside the old file and renamed over it: a failed save leaves the old library.
    if (int status = ReplaceFileContents(name, bytes)) {
        ReportMessage("WtE", ReportOwner(library), name, status, name);
        return kMsgAlreadyReported;
    }
    SetLibraryModified(library, false);
    return 0;
}

}  // namespace kq5
