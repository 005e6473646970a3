#include "document/file_dialogs.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "ui/dialog_services.h"
#include "core/error_context.h"
#include "ui/help_topics.h"
#include "ui/program_settings.h"
#include "document/settings_file.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/message_args.h"
#include "core/message_reporter.h"
#include "document/circuit_file.h"
#include "platform/common_dialogs_file.h"
#include "platform/controls.h"
#include "platform/paint.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"
#include "platform/disk_file_names.h"
#include "platform/window.h"

namespace kq5 {

namespace {

struct FileKindRow {
    const char* extension;
    int kind;
    bool enforced;
};

constexpr FileKindRow kFileKinds[] = {
    {"CIR", 1, true},  {"LBR", 3, true},  {"CKT", 2, false},           {"LIB", 2, false},
    {"STM", 2, false}, {"WMF", kFileKindPicture, false}, {"MDL", 4, true},
};

constexpr int kModeOpen = 1;
constexpr int kModeSave = 2;
constexpr int kMsgDeleteFiles = 13512;

// What the hook needs to know of the dialog it serves.
struct FileDialogContext {
    int mode = kModeOpen;
    int kind = 0;
    WindowRecord* preview = nullptr;  // the schematic shown while the open dialog's list moves
};

// Load options of the preview: quiet, no connectivity, not a recent file, missing parts dropped.
constexpr LoadOptions kPreviewLoadOptions = 0x981;

// Shows the schematic selected in the open dialog's list in the preview window (made the first
// time). The data directory is the user's setting and must not follow the preview.
void ShowSchematicPreview(FileDialogContext& context, const std::string& path)
{
    const std::string dataDirectory = SettingsFile().dataDirectory;
    // The user goes on choosing in the dialog: the keys stay with it.
    const win::HWND focus = win::GetFocus();
    WindowRecord* target = IsLiveWindowRecord(context.preview) ? context.preview : nullptr;
    WindowRecord* shown = nullptr;
    if (LoadCircuitFile(target, path, kWindowSchematic, kPreviewLoadOptions, shown) == 0 && shown != nullptr) {
        context.preview = shown;
        win::ShowWindow(shown->window, win::SW_SHOWMAXIMIZED);
        win::InvalidateRect(shown->window, nullptr, win::TRUE);
        win::UpdateWindow(shown->window);
    }
    SettingsFile().dataDirectory = dataDirectory;
    if (focus != nullptr && win::IsWindow(focus)) {
        win::SetActiveWindow(win::GetParent(focus));
        win::SetFocus(focus);
    }
}

// The preview goes when the dialog does, without the question about saving changes.
void ClosePreview(FileDialogContext& context)
{
    if (IsLiveWindowRecord(context.preview) && context.preview->window != nullptr) {
        context.preview->modified = 0;
        win::DestroyWindow(context.preview->window);
    }
    context.preview = nullptr;
}

std::string SelectedListPath(win::HWND dialog)
{
    const win::LRESULT index = win::SendDlgItemMessage(dialog, win::kFileList, win::LB_GETCURSEL, 0, 0);
    if (index < 0) return {};
    const win::LRESULT length = win::SendDlgItemMessage(dialog, win::kFileList, win::LB_GETTEXTLEN, static_cast<win::WPARAM>(index), 0);
    std::string name(static_cast<std::size_t>(length) + 1, '\0');
    win::SendDlgItemMessage(dialog, win::kFileList, win::LB_GETTEXT, static_cast<win::WPARAM>(index),
                            reinterpret_cast<win::LPARAM>(name.data()));
    name.resize(static_cast<std::size_t>(length));
    std::string folder = win::GetDlgItemText(dialog, win::kFolderPath);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + name;
}

std::string_view ExtensionOf(std::string_view name)
{
    const std::size_t slash = name.find_last_of("/\\");
    const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    const std::size_t dot = base.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : base.substr(dot + 1);
}

std::string ActiveCircuitDirectory()
{
    for (const auto& record : WindowRecords().records) {
        if (record->kind != kWindowSchematic && record->kind != kWindowTextCircuit) continue;
        const std::string title = GetRecordTitle(record.get());
        const std::size_t slash = title.find_last_of("/\\");
        if (slash != std::string::npos) return title.substr(0, slash);
    }
    return Settings().workingDirectory;
}

win::HWND OwnerWindow(WindowRecord* owner)
{
    if (owner == nullptr) owner = FrameRecord();
    return owner != nullptr ? owner->window : nullptr;
}

std::string FilterText(int kind) { return std::string(LoadResString(10120 + kind)); }

}  // namespace

std::string_view RequiredExtension(int kind)
{
    for (const FileKindRow& row : kFileKinds)
        if (row.kind == kind && row.enforced) return row.extension;
    return {};
}

bool StartsLikeSchematic(std::string_view name)
{
    std::ifstream in{win::DiskFileName(name), std::ios::binary};
    std::string line;
    if (!in || !std::getline(in, line)) return false;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (EqualsNoCase(line, "[Main]")) return true;
    return line.size() == 4 && (line[0] == '4' || line[0] == '5') && line[1] == '.' && std::isdigit(static_cast<unsigned char>(line[2])) &&
           std::isdigit(static_cast<unsigned char>(line[3]));
}

int DetectFileKind(std::string_view name, int /*mode*/)
{
    const std::string_view extension = ExtensionOf(name);
    for (const FileKindRow& row : kFileKinds) {
        if (!EqualsNoCase(extension, row.extension)) continue;
        // SPICE users name their netlists .cir too.
        if (row.kind == kFileKindSchematic && ReadsAsTextCircuit(std::string(name))) return kFileKindTextCircuit;
        return row.kind;
    }
    return StartsLikeSchematic(name) ? 1 : -1;
}

win::UINT_PTR FileDialogHookProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    // The context travels in the dialog's own data, so that a dialog opened over another keeps
    // its own.
    const win::LPARAM data = message == win::WM_INITDIALOG ? reinterpret_cast<const win::OPENFILENAME*>(lParam)->lCustData : 0;
    FileDialogContext* context = DialogData<FileDialogContext>(dialog, message, data);
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        return win::TRUE;
    case win::WM_COMMAND:
        if (context != nullptr && context->mode == kModeOpen) {
            if (win::LOWORD(wParam) == win::kFileList && win::HIWORD(wParam) == win::LBN_SELCHANGE &&
                context->kind == kWindowSchematic) {
                const std::string path = SelectedListPath(dialog);
                if (!path.empty()) ShowSchematicPreview(*context, path);
                return win::FALSE;
            }
            if (win::LOWORD(wParam) == win::IDOK || win::LOWORD(wParam) == win::IDCANCEL) ClosePreview(*context);
        }
        if (win::LOWORD(wParam) == win::kFileHelpButton) {
            ShowHelpTopic(17803, kFileDialogHelpTopic);
            return win::TRUE;
        }
        if (win::LOWORD(wParam) == win::IDOK && context != nullptr && context->mode == kModeSave) {
            const std::string_view required = RequiredExtension(context->kind);
            const std::string typed = win::GetDlgItemText(dialog, win::kFileNameEdit);
            // Patterns and folders typed into the field change the listing; only names count.
            if (required.empty() || typed.empty() || typed.find_first_of("*?") != std::string::npos) return win::FALSE;
            if (EqualsNoCase(ExtensionOf(typed), required)) return win::FALSE;
            const std::string text = ComposeErrorText(kMsgExtensionRequired, MakeMessageArgs(std::string(required)));
            win::MessageBox(dialog, text.c_str(), "Warning", win::MB_OK | win::MB_ICONEXCLAMATION);
            return win::TRUE;
        }
        return win::FALSE;
    default:
        return win::FALSE;
    }
}

int FileDialogByKind(WindowRecord* owner, std::string& path, int mode, std::string_view filter, int kind)
{
    FileDialogContext context{mode, kind};
    win::OPENFILENAME ofn;
    ofn.hwndOwner = OwnerWindow(owner);
    ofn.lpstrFilter = std::string(filter);
    if (!ofn.lpstrFilter.empty()) {
        const char separator = ofn.lpstrFilter.back();
        std::replace(ofn.lpstrFilter.begin(), ofn.lpstrFilter.end(), separator, '\0');
    }
    if (mode == kModeOpen) path.clear();
    ofn.lpstrFile = path;
    ofn.lpstrInitialDir = SettingsFile().dataDirectory;
    ofn.Flags = win::OFN_ENABLEHOOK | win::OFN_HIDEREADONLY | win::OFN_PATHMUSTEXIST | win::OFN_SHOWHELP;
    if (mode == kModeOpen) ofn.Flags |= win::OFN_FILEMUSTEXIST;
    if (mode == kModeSave && !Settings().demoRunning) ofn.Flags |= win::OFN_OVERWRITEPROMPT;
    ofn.lpfnHook = &FileDialogHookProc;
    ofn.lCustData = reinterpret_cast<win::LPARAM>(&context);
    const bool chosen = mode == kModeSave ? win::GetSaveFileName(&ofn) : win::GetOpenFileName(&ofn);
    ClosePreview(context);  // also when the dialog ended another way
    if (!chosen) return -1;
    path = ofn.lpstrFile;
    return mode == kModeSave ? kind : DetectFileKind(path, 1);
}

int AskOpenFileNameByKind(WindowRecord* owner, std::string& path, int kind)
{
    return FileDialogByKind(owner, path, kModeOpen, FilterText(kind), kind) >= 0 ? 1 : 0;
}

int AskOpenFileName(WindowRecord* owner, std::string_view title, std::string_view filter, std::string& path,
                    std::string& directory, std::string& name)
{
    win::OPENFILENAME ofn;
    ofn.hwndOwner = OwnerWindow(owner);
    ofn.lpstrTitle = std::string(title);
    ofn.lpstrFilter = std::string(filter);
    std::replace(ofn.lpstrFilter.begin(), ofn.lpstrFilter.end(), '|', '\0');
    ofn.lpstrFile = path;
    ofn.Flags = win::OFN_HIDEREADONLY | win::OFN_FILEMUSTEXIST;
    if (!win::GetOpenFileName(&ofn)) return 0;
    path = ofn.lpstrFile;
    const std::size_t slash = path.find_last_of("/\\");
    directory = slash == std::string::npos ? std::string() : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    return 1;
}

void DeleteFileCommand()
{
    win::OPENFILENAME ofn;
    ofn.hwndOwner = OwnerWindow(nullptr);
    ofn.lpstrFilter = LoadResString(kMainFilesFilter) + LoadResString(10125);
    std::replace(ofn.lpstrFilter.begin(), ofn.lpstrFilter.end(), '|', '\0');
    ofn.lpstrInitialDir = ActiveCircuitDirectory();
    ofn.lpstrTitle = "Delete File";
    ofn.Flags = win::OFN_ALLOWMULTISELECT | win::OFN_FILEMUSTEXIST | win::OFN_HIDEREADONLY;
    if (!win::GetOpenFileName(&ofn)) return;
    const std::vector<std::string> paths = win::ChosenFilePaths(ofn);
    std::string names;
    for (const std::string& chosen : paths) {
        const std::size_t slash = chosen.find_last_of('/');
        if (!names.empty()) names += ' ';
        names += slash == std::string::npos ? chosen : chosen.substr(slash + 1);
    }
    const std::string question = ComposeErrorText(kMsgDeleteFiles, MakeMessageArgs(names));
    if (win::MessageBox(ofn.hwndOwner, question.c_str(), "Delete File", win::MB_YESNO | win::MB_ICONQUESTION) != win::IDYES)
        return;
    for (const std::string& chosen : paths) {
        if (std::remove(win::DiskFileName(chosen).c_str()) != 0) {
            // A file that stays must not pass for deleted.
            ReportMessage("Et", kMsgFileErrorBase + errno, chosen.c_str());
            return;
        }
    }
}

}  // namespace kq5
