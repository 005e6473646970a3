#pragma once
// The file dialogs: GetOpenFileName and GetSaveFileName over the real file system, in the shape
// of the classic dialogs: the file name field, the list of the files that match the chosen type,
// the folder list ("[..]" for the parent, "[name]" for each folder) under the current folder's
// path, the type list and a drive list that holds the root "/". Names keep their case; '/' and
// '\' both separate; a name not found as typed is looked up case-blind. Type patterns compare
// case-blind ("*.CIR" lists "amp.cir"), "*.*" lists every file. A typed pattern ("*.txt") or
// folder name changes the listing instead of choosing. The program's working folder is never
// changed by the dialogs.
#include <optional>
#include <string>
#include <vector>

#include "platform/common_dialogs.h"

namespace win {

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_SHOWHELP = 0x00000010;
constexpr DWORD OFN_ENABLEHOOK = 0x00000020;
constexpr DWORD OFN_ENABLETEMPLATE = 0x00000040;
constexpr DWORD OFN_NOVALIDATE = 0x00000100;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_EXTENSIONDIFFERENT = 0x00000400;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_CREATEPROMPT = 0x00002000;
constexpr DWORD OFN_NOREADONLYRETURN = 0x00008000;

// The layer's template and the ids of its items (a hook may move or read them).
constexpr int kFileDialogTemplate = 1536;
constexpr int kFileNameEdit = 1152;    // edt1
constexpr int kFileList = 1120;        // lst1
constexpr int kFolderList = 1121;      // lst2
constexpr int kFolderPath = 1088;      // stc1
constexpr int kFileTypeCombo = 1136;   // cmb1
constexpr int kDriveCombo = 1137;      // cmb2
constexpr int kReadOnlyCheck = 1040;   // chx1
constexpr int kFileHelpButton = 1038;  // pshHelp

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct OPENFILENAME {
    DWORD lStructSize = sizeof(OPENFILENAME);
    HWND hwndOwner = nullptr;
    HINSTANCE hInstance = nullptr;
    // Pairs of description and pattern, each ended by '\0' ("Schematic (*.CIR)\0*.CIR\0..."); a
    // pattern may list several, separated by ';'. An empty description ends the list.
    std::string lpstrFilter;
    DWORD nFilterIndex = 1;  // 1 = the first pair; in and out
    // In: the starting name (with or without a folder); out: the chosen path. With several files
    // chosen (OFN_ALLOWMULTISELECT): the folder, then each name, each ended by '\0'.
    std::string lpstrFile;
    std::string lpstrFileTitle;  // out: the chosen name without its folder
    std::string lpstrInitialDir;
    std::string lpstrTitle;  // empty: "Open" or "Save As"
    DWORD Flags = 0;
    WORD nFileOffset = 0;     // out: where the name starts in lpstrFile
    WORD nFileExtension = 0;  // out: where its extension starts (the end when it has none)
    std::string lpstrDefExt;  // added to a name typed without extension
    LPARAM lCustData = 0;
    LPOFNHOOKPROC lpfnHook = nullptr;
    const char* lpTemplateName = nullptr;  // with OFN_ENABLETEMPLATE: the program's template
};

BOOL GetOpenFileName(OPENFILENAME* ofn);
BOOL GetSaveFileName(OPENFILENAME* ofn);

// The full paths of the chosen files, for one or several.
std::vector<std::string> ChosenFilePaths(const OPENFILENAME& ofn);

// Queues what the user types into the name field of the next file dialog before pressing OK
// (several names each in double quotes); nothing = Cancel.
void ScriptFileDialogAnswer(std::optional<std::string> typed);

// Whether a file dialog would get an answer now: one is queued, or dialogs are shown.
bool FileDialogWouldAsk();

// Whether a name matches a pattern list such as "*.CKT;*.LIB" (case-blind, "*.*" = all).
bool FileNameMatchesPatterns(const std::string& name, const std::string& patterns);

}  // namespace win
