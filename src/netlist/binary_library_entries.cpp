// The entries of a binary model library: adding, finding, removing, packing and sorting.
#include <algorithm>
#include <new>
#include <unordered_set>

#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "netlist/binary_library.h"
#include "netlist/library_progress.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

bool IsAnalogType(int type)
{
    const ModelTypeRow* row = FindModelTypeRow(type);
    return row && row->domain == kModelDomainAnalog;
}

// Links the nodes in the given order as the whole list.
void Relink(LinkedList& list, const std::vector<ListNode*>& order)
{
    list.head = order.empty() ? nullptr : order.front();
    for (std::size_t i = 0; i < order.size(); ++i) order[i]->next = i + 1 < order.size() ? order[i + 1] : nullptr;
    list.tail = order.empty() ? nullptr : order.back();
    list.count = static_cast<std::int32_t>(order.size());
}

}  // namespace

ModelLibraryEntry* NewLibraryEntry(ModelLibrary& library, int type)
{
    const ModelTypeRow* row = FindModelTypeRow(type);
    if (!row) return nullptr;
    try {
        ModelLibraryEntry* entry = ListAppendAs<ModelLibraryEntry>(library.entries, kKindNone);
        if (entry) {
            entry->type = type;
            entry->params.assign(static_cast<std::size_t>(row->libraryCount), 0.0f);
            SetLibraryModified(library, true);
            return entry;
        }
    } catch (const std::bad_alloc&) {
        ListRemove(library.entries, library.entries.tail);
    }
    ReportMessage("WE", library.record ? library.record : CurrentRecord(), kMsgInsufficientMemory);
    return nullptr;
}

void DeleteLibraryEntry(ModelLibrary& library, ModelLibraryEntry* entry)
{
    if (entry) ListRemove(library.entries, entry);
}

ModelLibraryEntry* FindNthModelOfType(const ModelLibrary& library, int type, int n)
{
    for (ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries))
        if (entry.type == type && n-- == 0) return &entry;
    return nullptr;
}

int CountModelsOfType(const ModelLibrary& library, int type)
{
    int count = 0;
    for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries))
        if (entry.type == type) ++count;
    return count;
}

int FindModelOrdinal(const ModelLibrary& library, int type, std::string_view name)
{
    int ordinal = 0;
    for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries)) {
        if (entry.type != type) continue;
        if (EqualsNoCase(entry.name, name)) return ordinal;
        ++ordinal;
    }
    return -1;
}

ModelLibraryEntry* FindLibraryEntry(const ModelLibrary& library, int type, std::string_view name)
{
    for (ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries))
        if (FoldMosRow(entry.type) == FoldMosRow(type) && EqualsNoCase(entry.name, name)) return &entry;
    return nullptr;
}

void PackModelLibrary(ModelLibrary& library)
{
    // Names already met, per analog type, upper case.
    std::vector<std::unordered_set<std::string>> seen(kModelTypeCount);
    for (ListNode* node = library.entries.head; node;) {
        auto& entry = *static_cast<ModelLibraryEntry*>(node);
        bool drop = entry.name.empty();
        if (!drop && IsAnalogType(entry.type))
            drop = !seen[static_cast<std::size_t>(entry.type)].insert(CopyUpperCase(entry.name)).second;
        node = drop ? ListRemove(library.entries, node) : node->next;
    }
}

int SortModelLibrary(ModelLibrary& library)
{
    StatusTextScope status;
    try {
        std::vector<ListNode*> order;
        order.reserve(static_cast<std::size_t>(library.entries.count));
        const int total = std::max(library.entries.count, 1);
        for (int type = 0; type < kModelTypeCount; ++type) {
            const ModelTypeRow& row = *FindModelTypeRow(type);
            if (row.domain != kModelDomainAnalog || row.libraryCount == 0) continue;
            status.Show(StrPrintf(LoadResString(kMsgSortingLibrary).c_str(),
                                    LoadResString(kMsgModelTypeNameBase + type).c_str(),
                                    static_cast<int>(100 * order.size() / static_cast<std::size_t>(total))));
            const std::size_t first = order.size();
            for (ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries))
                if (entry.type == type) order.push_back(&entry);
            std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(first), order.end(),
                             [](const ListNode* a, const ListNode* b) {
                                 return CompareNamesNatural(static_cast<const ModelLibraryEntry*>(a)->name,
                                                            static_cast<const ModelLibraryEntry*>(b)->name) < 0;
                             });
        }
        // Entries of the digital types keep their order behind the analog ones.
        for (ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries))
            if (!IsAnalogType(entry.type)) order.push_back(&entry);
        Relink(library.entries, order);
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", library.record ? library.record : CurrentRecord(), kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    return 0;
}

std::string FormatLibraryValue(float value)
{
    if (IsParamNotGiven(value)) return "undefined";
    std::string number = FormatNumber(static_cast<double>(value), "-1", 0);
    while (!number.empty() && number.back() == ' ') number.pop_back();
    return number;
}

void ResetModelLibrariesForTests()
{
    std::vector<std::unique_ptr<ModelLibrary>>& windows = Libraries().windows;
    while (!windows.empty()) {
        ModelLibrary* library = windows.back().get();
        FreeModelLibraryRecord(library);
    }
}

}  // namespace kq5
