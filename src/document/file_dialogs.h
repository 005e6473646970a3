#pragma once
// The open and save dialogs of the program by file kind, the extension rule of the save dialog,
// telling a file's kind from its name, and the Delete File command.
//
// File kinds are the window kinds that open them: 1 schematic (CIR), 2 text (CKT, LIB, STM),
// 3 model library (LBR), 4 model data (MDL), 10133 picture (WMF). The filter of kind k is the
// string-table text 10120 + k.
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

constexpr int kFileKindPicture = 10133;
constexpr int kFileDialogHelpTopic = 1536;
constexpr int kMsgExtensionRequired = 13518;  // "File name must have an '%s' extension."
constexpr int kMainFilesFilter = 10131;

// The extension a save of the kind must carry ("CIR", "LBR", "MDL"), empty when any will do.
std::string_view RequiredExtension(int kind);
// The name's kind, by its extension, or for a name the table does not settle by its first line
// ("[Main]" or the banner file's version line): a schematic. A .cir file whose first line is
// neither is a text circuit. -1 when the program does not open it.
int DetectFileKind(std::string_view name, int mode);
// A schematic tells itself by its first line: the sectioned file's "[Main]" or the banner
// file's version ("5.03", "4.00").
bool StartsLikeSchematic(std::string_view name);

// Mode 1 opens (the path is emptied first), mode 2 saves. The filter text's last character is
// its separator. The dialog starts in the data directory; a save asks before replacing a file
// (not while a demo plays) and refuses a name without the kind's extension where the kind has
// one. The chosen file's kind, or -1 when cancelled; the path holds the chosen file.
int FileDialogByKind(WindowRecord* owner, std::string& path, int mode, std::string_view filter, int kind);
// The open dialog with the kind's filter; 1 when a file was chosen.
int AskOpenFileNameByKind(WindowRecord* owner, std::string& path, int kind);
// The open dialog with a filter text and a title; the path, its directory and name on 1.
int AskOpenFileName(WindowRecord* owner, std::string_view title, std::string_view filter, std::string& path,
                    std::string& directory, std::string& name);

// The hook of the program's file dialogs (placing, the extension rule, the Help button).
win::UINT_PTR FileDialogHookProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

// Command 12508: the files chosen in the active circuit's directory are deleted after a Yes.
void DeleteFileCommand();

}  // namespace kq5
