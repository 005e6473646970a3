// Translation between binary model libraries and SPICE text libraries.
#include "netlist/library_translate.h"

#include <algorithm>
#include <cerrno>

#include "ui/frame_state.h"
#include "document/save_file_dialog.h"
#include "ui/user_names.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "core/timers.h"
#include "ui/program_settings.h"
#include "platform/window.h"
#include "document/file_names.h"
#include "netlist/binary_library.h"
#include "netlist/library_index.h"
#include "netlist/library_progress.h"
#include "netlist/model_library_window.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_sources.h"

namespace kq5 {

namespace {

// The name asked for when none is given; the default extension when the answer has none. The
// dialog is of the kind of the file written: a SPICE text must not be forced to a binary
// library's extension, where it would replace the library it came from.
std::string ChooseFileName(WindowRecord* active, std::string fileName, const char* extension, int kind)
{
    if (fileName.empty()) {
        std::string start = GetRecordTitle(active);
        if (!start.empty()) ReplaceExtension(start, extension);
        fileName = AskSaveFileNameByKind(active, start, kind);
    }
    if (!fileName.empty() && GetFileExtension(fileName).empty()) fileName += std::string(".") + extension;
    return fileName;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

void WriteLibraryModels(int unit, const ModelLibrary& library)
{
    for (int type = 0; type < kModelTypeCount; ++type) {
        const ModelTypeRow& row = *FindModelTypeRow(type);
        // LPNP models are written too: leaving them out would lose them without a word.
        if (row.domain != kModelDomainAnalog) continue;
        for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries)) {
            if (entry.type != type || entry.name.empty()) continue;
            std::vector<float> values(entry.params);
            values.resize(static_cast<std::size_t>(row.libraryCount), 0.0f);
            std::string statement = FormatModelStatement(entry.name, type, kWriteContinuation, values.data(),
                                                         row.libraryCount, nullptr, nullptr);
            statement.erase(std::remove(statement.begin(), statement.end(), '\r'), statement.end());
            if (!entry.memo.empty()) UnitPrintf(unit, "*** %s\n", entry.memo.c_str());
            UnitPrintf(unit, "%s\n", statement.c_str());
        }
    }
}

// Reads the statements of the text into the library until the text ends or a statement
// cannot be evaluated. A faulty statement is reported at its line of the text it stands in.
void ReadTextModels(int unit, ModelLibrary& library, const std::string& textName)
{
    int depth = 0;
    std::string line;
    while (SourceHasMoreLines(unit)) {
        if (ReadLogicalLine(unit, line, 0) != 0) break;
        if (StartsWith(line, ".SUBCKT ")) {
            ++depth;
            continue;
        }
        if (StartsWith(line, ".ENDS ") || line == ".ENDS") {
            // A stray .ENDS must not hide the statements after it.
            depth = std::max(depth - 1, 0);
            continue;
        }
        if (depth != 0 || !StartsWith(line, ".MODEL")) continue;
        const int before = ModelStatementCount();
        // Each faulty statement is shown where it stands, not where the first one stood.
        ClearErrorSourceLine();
        if (ParseModelStatement(line, 0, LogicalLineStart(), kModelSourceTextFile, textName) != 0 ||
            ModelStatementCount() == before)
            continue;
        const int index = ModelStatementCount() - 1;
        const ModelStatement statement = *FindModelStatement(index);
        const EvaluatedModel* model = FindModel(kModelSelectStatement, index);
        if (!model) break;
        const int row = statement.row;
        ModelLibraryEntry* entry = NewLibraryEntry(library, row);
        if (!entry) break;
        const std::size_t count = entry->params.size();
        std::copy_n(model->params.begin(), std::min(count, model->params.size()), entry->params.begin());
        entry->name = statement.name.substr(0, kLibraryNameMax);
        // Every statement is read by itself.
        ClearModelTable();
    }
}

}  // namespace

int TranslateLibraryToText(WindowRecord* active, std::string fileName)
{
    const ModelLibrary* library = ModelLibraryOf(active);
    if (!library) return 0;
    fileName = ChooseFileName(active, std::move(fileName), "LIB", kWindowTextCircuit);
    if (fileName.empty()) return 0;
    const int unit = FindFreeUnit();
    if (int status = unit < 0 ? kMsgFileErrorBase + EMFILE : CreateUnit(fileName, unit)) {
        ReportMessage("WtE", active, fileName, status, fileName);
        return kMsgAlreadyReported;
    }
    WaitCursorScope wait;
    const UserAndCompanyNames& names = UserAndCompanyNamesSetting();
    UnitPrintf(unit, "*****\n* %s %s %s\n", StripDirectory(fileName).c_str(), names.userName.c_str(),
               names.companyName.c_str());
    const std::string stamp = FormatDateTimeStamp(true);
    if (!stamp.empty()) UnitPrintf(unit, "* %s\n", stamp.c_str());
    UnitPrintf(unit, "*****\n");
    WriteLibraryModels(unit, *library);
    const int writeError = GetFileUnit(unit)->lastError;
    CloseUnitAndShowText(unit);
    if (writeError != 0) {
        ReportMessage("WtE", active, fileName, writeError, fileName);
        return kMsgAlreadyReported;
    }
    return 0;
}

int TranslateTextToLibrary(WindowRecord* active, std::string fileName, ModelLibrary** created)
{
    if (created) *created = nullptr;
    if (!active) return 0;
    fileName = ChooseFileName(active, std::move(fileName), "LBR", kWindowModelLibrary);
    if (fileName.empty()) return 0;
    // With the frame up the new library is shown in its window; batch runs keep it windowless.
    WindowRecord* window = Frame().mdiClient ? CreateModelEditorWindow(fileName) : nullptr;
    ModelLibrary* library = window ? ModelLibraryOf(window) : Frame().mdiClient ? nullptr : NewModelLibraryRecord(fileName);
    if (!library) return kMsgAlreadyReported;
    if (created) *created = library;
    const int unit = FindFreeUnit();
    if (unit < 0) {
        ReportMessage("WtE", active, fileName, kMsgFileErrorBase + EMFILE, fileName);
        return kMsgAlreadyReported;
    }
    WaitCursorScope wait;
    const std::string textName = GetRecordTitle(active);
    OpenMemoryTextUnit(unit, textName, active->textArea);
    ClearModelTable();
    ReadTextModels(unit, *library, textName);
    ClearErrorSourceLine();
    CloseUnit(unit);
    ClearModelTable();
    if (window) {
        win::ShowWindow(window->window, win::SW_SHOWMAXIMIZED);
        RefreshModelEditor(window);
    }
    const int status = SaveModelLibrary(*library, fileName);
    if (status == 0 && window) window->untitled = false;
    return status;
}

}  // namespace kq5
