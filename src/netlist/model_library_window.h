#pragma once
// The model library window (class "LBR"): one model of a binary library at a time, with a type
// selector, the names of the library's models of that type, the model's name and memo, and a
// scrolled panel of labelled parameter fields; buttons add, delete, pack, copy, merge and go to
// a parameter. The library itself lives in the window's record (binary_library.h).
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;
struct ModelLibrary;
struct ModelLibraryEntry;

// Control ids.
inline constexpr int kModelTypeSelector = 12400;
inline constexpr int kModelNameList = 12401;
inline constexpr int kModelMemoField = 12402;
inline constexpr int kModelNameField = 12403;
inline constexpr int kModelParamScroll = 12405;
inline constexpr int kModelAddButton = 12406;
inline constexpr int kModelDeleteButton = 12407;
inline constexpr int kModelMergeButton = 12408;
inline constexpr int kModelCopyButton = 12409;
inline constexpr int kModelPackButton = 12410;
inline constexpr int kModelGoToButton = 12411;
inline constexpr int kModelParamFrame = 12412;
inline constexpr int kModelParamLabelBase = 1000;
inline constexpr int kModelParamFieldBase = 2000;
inline constexpr int kModelParamRows = 60;

// Dialogs of the window.
inline constexpr int kFindModelNameTemplate = 304;
inline constexpr int kCopyModelNameTemplate = 309;
inline constexpr int kGoToParameterTemplate = 310;

// Find Model Name's places to look.
inline constexpr int kSearchCurrentType = 100;
inline constexpr int kSearchCurrentLibrary = 101;
inline constexpr int kSearchDisk = 102;

struct ModelEditorData {
    int type = 0;       // the model type shown
    int position = 0;   // the selected line of the name list
    win::HWND scrollBar = nullptr;
    win::HWND nameList = nullptr;
    int columns = 1;       // label-and-field pairs on one panel line
    int visibleRows = 0;   // panel rows in use (whole lines)
    int scrollPos = 0;     // first panel line shown
    win::HFONT font = nullptr;
    int charWidth = 6;
    int lineHeight = 13;
};

win::LRESULT ModelEditorWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
// A new, empty library window of that title; null when it could not be made (reported).
WindowRecord* CreateModelEditorWindow(const std::string& title);
// Opens the library file in its window (an open window of it is brought forward); null when
// the file could not be read (reported).
WindowRecord* OpenModelLibraryDocument(const std::string& fileName);
ModelEditorData* GetModelEditorData(const WindowRecord* record);
// Shows a model of a library file in its window (opened when it is not), for an error met in
// it; nothing without the frame (batch runs). The window, or null.
WindowRecord* ShowLibraryModel(const std::string& fileName, int type, const std::string& name);

// Shows the library's entries again after they changed behind the window (load, merge, pack).
void RefreshModelEditor(WindowRecord* record);
// Stores what the focused name, memo or value field holds, as losing the focus would.
void StoreFocusedModelField(WindowRecord* record);

void SelectModelType(WindowRecord* record, int type, int position = 0);
void SelectModelInList(WindowRecord* record, int position);
// The entry shown; null when the type has none.
ModelLibraryEntry* CurrentModelEntry(const WindowRecord* record);
// Stores the text of panel row `row`. 0, or 15055 when the value was refused (the old one stays).
int StoreEditedParam(WindowRecord* record, int row);
void ShowParamValue(WindowRecord* record, int row);
void FillParamRows(WindowRecord* record);
void ScrollParamPanel(WindowRecord* record, int line);
// Up, Down, PgUp and PgDn in the value field of panel row `row`: the focus goes a line or a page
// up or down, the panel scrolling along. False for other keys.
bool OnParamEditKey(WindowRecord* record, int row, int key);

// The keys of the window's accelerator table, as commands.
inline constexpr int kCommandLineUp = 762;
inline constexpr int kCommandLineDown = 763;
inline constexpr int kCommandPreviousControl = 768;
inline constexpr int kCommandNextControl = 769;
inline constexpr int kCommandPageUp = 770;
inline constexpr int kCommandPageDown = 771;
// Up, Down, PgUp and PgDn walk the value fields (or go to the focused list); Tab and Shift+Tab
// move the focus to the next or previous control.
void ModelEditorKeyCommand(WindowRecord* record, int command);

// The commands of the buttons, without their questions and dialogs.
ModelLibraryEntry* AddModelEntry(WindowRecord* record);
void DeleteCurrentModel(WindowRecord* record);
void PackModelEditorLibrary(WindowRecord* record);
// The name the copy of `name` gets in the library: unique among its models of the type within
// 23 characters (suffix "_copy" when copied within the same library, then a number).
std::string MakeUniqueModelName(const ModelLibrary& library, int type, std::string name, bool sameLibrary);
// Copies the model of the shown type named so (the shown one when the name is empty) into the
// library file: its open window, or the file read and written again. 0, or 15055 after
// reporting (a file that cannot be read gets nothing).
int CopyModelToLibrary(WindowRecord* record, const std::string& modelName, const std::string& fileName);
// Appends the file's models to the window's library. 0, or the load's message id (reported).
int MergeModelLibrary(WindowRecord* record, const std::string& fileName);
// Puts the focus on the parameter named so (or the first one beginning so); -1 and a beep when
// there is none, else the parameter's index.
int GoToModelParameter(WindowRecord* record, const std::string& text);
// Finds a model by name and shows it; false after saying no items were found.
bool FindModelName(WindowRecord* record, const std::string& name, int where);

// The buttons' and the frame's commands with their questions and dialogs.
void ModelEditorCommand(WindowRecord* record, int id);
void FindModelNameCommand(WindowRecord* record);

void ResetModelEditorsForTests();
void ResetModelCommandsForTests();

}  // namespace kq5
