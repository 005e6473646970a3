// The model library window's commands: Add, Delete, Pack, Copy, Merge, Go To and Find Model
// Name, with their dialogs.
#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "ui/dialog_services.h"
#include "document/file_dialogs.h"
#include "ui/program_settings.h"
#include "document/settings_file.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_paths.h"
#include "core/message_reporter.h"
#include "document/file_names.h"
#include "netlist/binary_library.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_library_window.h"
#include "netlist/model_types.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kMsgDeletePart = 14062;
constexpr int kDialogNameField = 10;
constexpr int kDialogLibraryField = 205;
constexpr std::size_t kFindNameMax = 30;
constexpr std::size_t kParamNameMax = 29;
constexpr std::size_t kPathMax = 4095;

// What the dialogs remember while the program runs.
struct ModelCommandsState {
    std::string copyName;
    std::string copyLibrary;
    std::string goToText;
    std::string findName;
    int findWhere = kSearchCurrentType;
};

ModelCommandsState& Commands()
{
    static ModelCommandsState state;
    return state;
}

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsEditorType(int type)
{
    const ModelTypeRow* row = FindModelTypeRow(type);
    return row && row->domain == kModelDomainAnalog && type != kModelLpnp;
}

// The analog types, the current one first, then the others in code order.
std::vector<int> SearchOrder(int current)
{
    std::vector<int> order{current};
    for (int type = 0; type < kModelTypeCount; ++type)
        if (type != current && IsEditorType(type)) order.push_back(type);
    return order;
}

// The ordinal (among the type's entries) of the first match; -1 when none.
int FindInType(const ModelLibrary& library, int type, const std::string& name, bool wildcards)
{
    int ordinal = 0;
    for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries)) {
        if (entry.type != type) continue;
        const bool hit = wildcards ? WildcardCompare(name, entry.name) == 0 && !entry.name.empty()
                                   : EqualsNoCase(name, entry.name);
        if (hit) return ordinal;
        ++ordinal;
    }
    return -1;
}

struct LibraryHit {
    int type = -1;
    int ordinal = -1;
};

LibraryHit FindInLibrary(const ModelLibrary& library, int current, const std::string& name, bool wildcards)
{
    for (int type : SearchOrder(current)) {
        const int ordinal = FindInType(library, type, name, wildcards);
        if (ordinal >= 0) return {type, ordinal};
    }
    return {};
}

void ShowHit(WindowRecord* record, const LibraryHit& hit)
{
    SelectModelType(record, hit.type, hit.ordinal);
    if (record->window) win::SetFocus(win::GetDlgItem(record->window, kModelNameList));
}

// The .LBR files of the directories where libraries are looked for.
std::vector<std::string> LibraryFilesOnDisk()
{
    std::vector<std::string> directories{Settings().workingDirectory, SettingsFile().dataDirectory,
                                         Settings().programDirectory};
    std::vector<std::string> files;
    std::set<std::string> seen;
    for (const std::string& directory : directories) {
        if (directory.empty()) continue;
        std::error_code error;
        const std::filesystem::path dir = std::filesystem::weakly_canonical(directory, error);
        if (error || !seen.insert(dir.string()).second) continue;
        std::vector<std::string> here;
        for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
            if (!it->is_regular_file(error)) continue;
            const std::string path = it->path().string();
            if (EqualsNoCase(GetFileExtension(path), ".LBR")) here.push_back(path);
        }
        std::sort(here.begin(), here.end());
        files.insert(files.end(), here.begin(), here.end());
    }
    return files;
}

bool SearchDisk(WindowRecord* record, const std::string& name)
{
    ModelEditorData* data = GetModelEditorData(record);
    const int current = data ? data->type : 0;
    // Open libraries first: what they hold may not be saved yet.
    std::vector<std::string> openFiles;
    for (const std::unique_ptr<ModelLibrary>& library : Libraries().windows) {
        WindowRecord* owner = library->record;
        if (!owner || !owner->window || !GetModelEditorData(owner)) continue;
        openFiles.push_back(GetRecordTitle(owner));
        const LibraryHit hit = FindInLibrary(*library, current, name, false);
        if (hit.type < 0) continue;
        WindowRecord* shown = OpenModelLibraryDocument(GetRecordTitle(owner));
        ShowHit(shown ? shown : owner, hit);
        return true;
    }
    for (const std::string& file : LibraryFilesOnDisk()) {
        if (std::any_of(openFiles.begin(), openFiles.end(), [&](const std::string& open) { return FileNamesEqual(open, file); }))
            continue;
        ModelLibrary scratch;
        if (LoadModelLibrary(scratch, file, false) != 0) continue;
        const LibraryHit hit = FindInLibrary(scratch, current, name, false);
        ReleaseModelLibrary(scratch);
        if (hit.type < 0) continue;
        WindowRecord* opened = OpenModelLibraryDocument(file);
        if (!opened) return true;  // the open reported why
        ShowHit(opened, hit);
        return true;
    }
    return false;
}

// A dialog of text fields, each preset from and stored back into its remembered text.
struct TextFieldsDialog {
    struct Field {
        int id;
        std::string* text;
        std::size_t limit;
    };
    std::vector<Field> fields;
};

win::INT_PTR TextFieldsDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    TextFieldsDialog* data = DialogData<TextFieldsDialog>(dialog, message, lParam);
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        for (const TextFieldsDialog::Field& field : data->fields) {
            win::SendMessage(win::GetDlgItem(dialog, field.id), win::EM_LIMITTEXT, field.limit, 0);
            win::SetDlgItemText(dialog, field.id, field.text->c_str());
        }
        return 1;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            for (const TextFieldsDialog::Field& field : data->fields)
                *field.text = Trimmed(win::GetDlgItemText(dialog, field.id)).substr(0, field.limit);
            CloseDialog(dialog, win::IDOK);
            return 1;
        case win::IDCANCEL: CloseDialog(dialog, win::IDCANCEL); return 1;
        default: return 0;
        }
    default: return 0;
    }
}

win::INT_PTR RunTextFieldsDialog(win::HWND owner, int templateId, TextFieldsDialog fields)
{
    return RunDialogParam(owner, templateId, TextFieldsDlgProc, reinterpret_cast<win::LPARAM>(&fields));
}

win::INT_PTR FindModelDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    ModelCommandsState& state = Commands();
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        win::SendMessage(win::GetDlgItem(dialog, kDialogNameField), win::EM_LIMITTEXT, kFindNameMax, 0);
        win::SetDlgItemText(dialog, kDialogNameField, state.findName.c_str());
        win::CheckRadioButton(dialog, kSearchCurrentType, kSearchDisk, state.findWhere);
        return 1;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            state.findName = win::GetDlgItemText(dialog, kDialogNameField).substr(0, kFindNameMax);
            for (int id = kSearchCurrentType; id <= kSearchDisk; ++id)
                if (win::IsDlgButtonChecked(dialog, id)) state.findWhere = id;
            CloseDialog(dialog, win::IDOK);
            return 1;
        case win::IDCANCEL: CloseDialog(dialog, win::IDCANCEL); return 1;
        default: return 0;
        }
    default: return 0;
    }
}

}  // namespace

ModelLibraryEntry* AddModelEntry(WindowRecord* record)
{
    ModelEditorData* data = GetModelEditorData(record);
    ModelLibrary* library = ModelLibraryOf(record);
    if (!data || !library) return nullptr;
    StoreFocusedModelField(record);
    ModelLibraryEntry* entry = NewLibraryEntry(*library, data->type);
    if (!entry) return nullptr;
    for (std::size_t i = 0; i < entry->params.size(); ++i)
        if (const ModelParamDesc* desc = FindModelParamDesc(data->type, static_cast<int>(i))) entry->params[i] = desc->defaultValue;
    SelectModelType(record, data->type, CountModelsOfType(*library, data->type) - 1);
    return entry;
}

void DeleteCurrentModel(WindowRecord* record)
{
    ModelEditorData* data = GetModelEditorData(record);
    ModelLibrary* library = ModelLibraryOf(record);
    StoreFocusedModelField(record);
    ModelLibraryEntry* entry = CurrentModelEntry(record);
    if (!data || !library || !entry) return;
    DeleteLibraryEntry(*library, entry);
    SetLibraryModified(*library, true);
    SelectModelType(record, data->type, std::max(data->position - 1, 0));
}

void PackModelEditorLibrary(WindowRecord* record)
{
    ModelEditorData* data = GetModelEditorData(record);
    ModelLibrary* library = ModelLibraryOf(record);
    if (!data || !library) return;
    StoreFocusedModelField(record);
    const int before = library->entries.count;
    PackModelLibrary(*library);
    // Pack only removes; the order Sort makes is saved like any other change.
    if (library->entries.count != before) SetLibraryModified(*library, true);
    if (SortModelLibrary(*library) == 0) SetLibraryModified(*library, true);
    SelectModelType(record, data->type, 0);
}

std::string MakeUniqueModelName(const ModelLibrary& library, int type, std::string name, bool sameLibrary)
{
    if (sameLibrary) name += "_copy";
    name = name.substr(0, kLibraryNameMax);
    if (FindModelOrdinal(library, type, name) < 0) return name;
    // The number takes the place of the name's last characters when the name is already as
    // long as a name may be: the copy must never share its name, or Pack would drop it.
    for (unsigned long n = 1;; ++n) {
        const std::string number = std::to_string(n);
        const std::string candidate = name.substr(0, kLibraryNameMax - number.size()) + number;
        if (FindModelOrdinal(library, type, candidate) < 0) return candidate;
    }
}

int CopyModelToLibrary(WindowRecord* record, const std::string& modelName, const std::string& fileName)
{
    ModelLibrary* source = ModelLibraryOf(record);
    ModelEditorData* data = GetModelEditorData(record);
    if (!source || !data) return 0;
    StoreFocusedModelField(record);
    const ModelLibraryEntry* entry = modelName.empty() ? CurrentModelEntry(record)
                                                       : FindNthModelOfType(*source, data->type, FindModelOrdinal(*source, data->type, modelName));
    if (!entry) {
        ShowNoItemsFound(record);
        return kMsgAlreadyReported;
    }
    std::string path = fileName;
    GetUpperFullPath(path, kLocateWorkingTmp);
    WindowRecord* targetRecord = FindRecordByTitle(path);
    ModelLibrary* target = targetRecord ? ModelLibraryOf(targetRecord) : nullptr;
    ModelLibrary scratch;
    if (!target) {
        if (int status = LoadModelLibrary(scratch, path, true)) return status == kMsgAlreadyReported ? status : kMsgAlreadyReported;
        target = &scratch;
    }
    // The source's values are taken before the new entry is made: it may be in the same list.
    const std::vector<float> params = entry->params;
    const std::string memo = entry->memo;
    const std::string name = MakeUniqueModelName(*target, data->type, entry->name, target == source);
    ModelLibraryEntry* copy = NewLibraryEntry(*target, data->type);
    if (!copy) {
        ReleaseModelLibrary(scratch);
        return kMsgAlreadyReported;
    }
    std::copy_n(params.begin(), std::min(params.size(), copy->params.size()), copy->params.begin());
    copy->memo = memo;
    copy->name = name;
    SetLibraryModified(*target, true);
    int status = 0;
    if (target == &scratch) {
        status = SaveModelLibrary(scratch, path);
        ReleaseModelLibrary(scratch);
    } else if (GetModelEditorData(targetRecord)) {
        RefreshModelEditor(targetRecord);
    }
    return status;
}

int MergeModelLibrary(WindowRecord* record, const std::string& fileName)
{
    ModelLibrary* library = ModelLibraryOf(record);
    if (!library) return 0;
    StoreFocusedModelField(record);
    const int status = LoadModelLibrary(*library, fileName, true);
    if (status != 0) return status;
    SetLibraryModified(*library, true);
    RefreshModelEditor(record);
    return 0;
}

int GoToModelParameter(WindowRecord* record, const std::string& text)
{
    ModelEditorData* data = GetModelEditorData(record);
    ModelLibraryEntry* entry = CurrentModelEntry(record);
    const ModelTypeRow* row = data ? FindModelTypeRow(data->type) : nullptr;
    std::string wanted = Trimmed(text);
    for (char& c : wanted) c = ToUpperChar(c);
    int index = -1;
    if (row && entry && !wanted.empty()) {
        index = FindModelParamIndex(data->type, wanted);
        if (index >= row->libraryCount) index = -1;
        for (int i = 0; index < 0 && i < row->libraryCount; ++i)
            if (GetModelParamName(data->type, i).starts_with(wanted)) index = i;
    }
    if (index < 0) {
        BeepIfEnabled();
        return -1;
    }
    const int first = data->scrollPos * data->columns;
    if (index < first || index >= first + data->visibleRows) ScrollParamPanel(record, index / data->columns);
    const int rowIndex = index - data->scrollPos * data->columns;
    if (record->window) {
        win::HWND field = win::GetDlgItem(record->window, kModelParamFieldBase + rowIndex);
        win::SetFocus(field);
        win::SendMessage(field, win::EM_SETSEL, 0, -1);
    }
    return index;
}

bool FindModelName(WindowRecord* record, const std::string& text, int where)
{
    ModelEditorData* data = GetModelEditorData(record);
    ModelLibrary* library = ModelLibraryOf(record);
    const std::string name = Trimmed(text);
    bool found = false;
    if (data && library && !name.empty()) {
        StoreFocusedModelField(record);
        if (where == kSearchDisk) {
            found = SearchDisk(record, name);
        } else if (where == kSearchCurrentLibrary) {
            const LibraryHit hit = FindInLibrary(*library, data->type, name, true);
            if ((found = hit.type >= 0)) ShowHit(record, hit);
        } else {
            const int ordinal = FindInType(*library, data->type, name, true);
            if ((found = ordinal >= 0)) ShowHit(record, {data->type, ordinal});
        }
    }
    if (!found) ShowNoItemsFound(record);
    return found;
}

void ModelEditorCommand(WindowRecord* record, int id)
{
    if (!record || !GetModelEditorData(record)) return;
    win::HWND owner = record->window;
    switch (id) {
    case kModelAddButton: AddModelEntry(record); return;
    case kModelDeleteButton: {
        const ModelLibraryEntry* entry = CurrentModelEntry(record);
        if (!entry) return;
        if (ReportMessage("WSE", record, win::MB_OKCANCEL | win::MB_ICONQUESTION, kMsgDeletePart, entry->name) == win::IDOK)
            DeleteCurrentModel(record);
        return;
    }
    case kModelPackButton: PackModelEditorLibrary(record); return;
    case kModelCopyButton:
        if (!CurrentModelEntry(record)) return;
        if (Commands().copyName.empty() || FindModelOrdinal(*ModelLibraryOf(record), GetModelEditorData(record)->type, Commands().copyName) < 0)
            Commands().copyName = CurrentModelEntry(record)->name;
        if (Commands().copyLibrary.empty()) Commands().copyLibrary = GetRecordTitle(record);
        if (RunTextFieldsDialog(owner, kCopyModelNameTemplate,
                                {{{kDialogNameField, &Commands().copyName, kLibraryNameMax},
                                  {kDialogLibraryField, &Commands().copyLibrary, kPathMax}}}) != win::IDOK ||
            Commands().copyLibrary.empty())
            return;
        CopyModelToLibrary(record, Commands().copyName, Commands().copyLibrary);
        return;
    case kModelMergeButton: {
        std::string path;
        if (AskOpenFileNameByKind(record, path, kWindowModelLibrary) != 1 || path.empty()) return;
        MergeModelLibrary(record, path);
        return;
    }
    case kModelGoToButton:
        if (RunTextFieldsDialog(owner, kGoToParameterTemplate, {{{kDialogNameField, &Commands().goToText, kParamNameMax}}}) != win::IDOK)
            return;
        GoToModelParameter(record, Commands().goToText);
        return;
    default: return;
    }
}

void FindModelNameCommand(WindowRecord* record)
{
    if (!record || !GetModelEditorData(record)) return;
    if (RunDialog(record->window, kFindModelNameTemplate, FindModelDlgProc) != win::IDOK) return;
    FindModelName(record, Commands().findName, Commands().findWhere);
}

void ResetModelCommandsForTests() { Commands() = ModelCommandsState{}; }

}  // namespace kq5
