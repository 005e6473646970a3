#pragma once
// Binary model libraries (.LBR files): analog models stored as fixed records, each with its
// parameters as 32-bit floats in model type table order. The current file version is 5; the
// older version 4 (short names, its own parameter orders, polarity in the memo) is converted
// when it is read. A library in memory is the list of its entries in file order, held by the
// model library window that shows it, or by a lookup that reads one for a moment.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/linked_list.h"

namespace kq5 {

struct WindowRecord;

inline constexpr int kLibraryFileVersion = 5;
inline constexpr int kLibraryOldFileVersion = 4;
// Bytes of the fixed fields of an entry, and the characters a name and a memo keep.
inline constexpr std::size_t kLibraryNameField = 24;
inline constexpr std::size_t kLibraryMemoField = 42;
inline constexpr std::size_t kLibraryOldNameField = 10;
inline constexpr std::size_t kLibraryNameMax = kLibraryNameField - 1;
inline constexpr std::size_t kLibraryMemoMax = kLibraryMemoField - 1;
inline constexpr std::size_t kLibraryEntryRecord = 2 + kLibraryNameField + 2 + kLibraryMemoField;       // 70
inline constexpr std::size_t kLibraryOldEntryRecord = 2 + kLibraryOldNameField + 2 + kLibraryMemoField;  // 56
inline constexpr std::size_t kLibraryHeader = 6;
inline constexpr int kLibraryMaxEntries = 32767;

// Messages of the binary libraries.
inline constexpr int kMsgLibraryWrongVersion = 12500;   // "%EWrong version.\nrun convert for %s."
inline constexpr int kMsgConvertingLibrary = 12501;     // "Converting library %s"
inline constexpr int kMsgSortingLibrary = 12502;        // "Sorting %-20s %d%%"
inline constexpr int kMsgLibraryDamaged = 12504;        // "%E... %s is damaged: %s"
inline constexpr int kMsgLibraryEndsInEntry = 12520;
inline constexpr int kMsgLibraryBadBlock = 12521;
inline constexpr int kMsgLibraryBadText = 12522;
inline constexpr int kMsgLibraryBadCount = 12523;
inline constexpr int kMsgLibraryEntriesLost = 12524;    // warning: entries left out or emptied
inline constexpr int kMsgLibraryTooManyEntries = 12525;
inline constexpr int kMsgModelTypeNameBase = 101;       // + type code: "Opamp", "Diode", ...

// One model of a library.
struct ModelLibraryEntry : ListNode {
    std::vector<float> params;  // the library count of the type
    std::int32_t type = 0;      // model type table row
    std::string memo;           // at most kLibraryMemoMax characters
    std::string name;           // at most kLibraryNameMax characters

    void FreeOwnedData() override
    {
        params.clear();
        memo.clear();
        name.clear();
    }
};

// A library in memory: its entries in file order. A library shown in a window keeps its
// modified flag in the window's record.
struct ModelLibrary {
    LinkedList entries{&NewListRecord<ModelLibraryEntry>};
    WindowRecord* record = nullptr;
    bool modified = false;  // the flag of a library without a window
};

// What a load met besides its entries; the warning of a reported load says the same.
struct LibraryLoadResult {
    int version = 0;
    int leftOut = 0;   // entries of a type unknown or not convertible
    int emptied = 0;   // entries kept with parameters 0 (block of the wrong size)
};

// A model library window's record (kind 3) with an empty library; null after reporting when
// memory runs out. The library belongs to the record until FreeModelLibraryRecord.
ModelLibrary* NewModelLibraryRecord(const std::string& title);
// A library for a window's record that already exists (the model library window makes its record
// when it is created); null after reporting 15002.
ModelLibrary* AttachModelLibrary(WindowRecord* record);
// Frees the library of a record whose window is going away, leaving the record to its window.
void DetachModelLibrary(WindowRecord* record);
// Frees the entries, the library and its record, and clears the pointer.
void FreeModelLibraryRecord(ModelLibrary*& library);
// The library of a model library window's record; null for other records.
ModelLibrary* ModelLibraryOf(const WindowRecord* record);
// Frees every entry.
void ReleaseModelLibrary(ModelLibrary& library);

bool IsLibraryModified(const ModelLibrary& library);
void SetLibraryModified(ModelLibrary& library, bool modified);

// Appends the file's entries to the library. 0, or a message id: the open error (reported
// when `report` is set), 12500 for a version other than 4 and 5 (always reported, then 15055),
// 15055 after reporting a damaged file, 15002. A failed load leaves the library as it was. A
// version-4 file is converted in memory and the library marked modified: the file stays as it
// is until the library is saved.
int LoadModelLibrary(ModelLibrary& library, const std::string& name, bool report, LibraryLoadResult* result = nullptr);
// Writes the library as version 5. The new file replaces the old one only once it is complete,
// so a failed save leaves the old file and the modified flag as they were. 0, or 15055 after
// reporting.
int SaveModelLibrary(ModelLibrary& library, const std::string& name);
// The whole version-5 file of the library.
std::string EncodeModelLibrary(const ModelLibrary& library);
// True when the file opens and its first 16-bit word is 5 or 4.
bool IsBinaryModelLibrary(const std::string& name);

// A new entry at the end: parameters all 0, empty name and memo; marks the library modified.
// Null after reporting 15002, or for a type outside the table.
ModelLibraryEntry* NewLibraryEntry(ModelLibrary& library, int type);
void DeleteLibraryEntry(ModelLibrary& library, ModelLibraryEntry* entry);
// The n-th entry (from 0, in list order) of a type; null when there is none.
ModelLibraryEntry* FindNthModelOfType(const ModelLibrary& library, int type, int n);
int CountModelsOfType(const ModelLibrary& library, int type);
// The ordinal among the entries of the type of the first one named so (case-blind); -1.
int FindModelOrdinal(const ModelLibrary& library, int type, std::string_view name);
// The first entry of the type (MOS rows folded) named so, case-blind; null when none.
ModelLibraryEntry* FindLibraryEntry(const ModelLibrary& library, int type, std::string_view name);

// Removes entries without a name, then every later entry of an analog type whose name equals
// an earlier one's of the same type (case-blind).
void PackModelLibrary(ModelLibrary& library);
// Orders the entries: analog types in code order, each type's entries by name (leading numbers
// numerically, texts case-blind); entries of other types follow in their old order. 0, or
// 15055 after reporting (the order is then unchanged).
int SortModelLibrary(ModelLibrary& library);

// "undefined" for a value not given, else the engineering form of the value.
std::string FormatLibraryValue(float value);

void ResetModelLibrariesForTests();

}  // namespace kq5
