// The file dialogs (open, save) over the real file system.
#include "platform/common_dialogs_file.h"

#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/common_dialogs_internal.h"
#include "platform/controls.h"
#include "platform/disk_file_names.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/window.h"

namespace win {

namespace {

namespace fs = std::filesystem;

struct FilterEntry {
    std::string description;
    std::string patterns;
};

struct FileDialogData : CommonDialogRecord {
    OPENFILENAME* ofn = nullptr;
    bool save = false;
    bool multi = false;
    std::vector<FilterEntry> filters;
    int filterIndex = 0;       // into filters
    std::string typedPattern;  // a pattern the user typed, in place of the type's
    std::string folder;        // absolute, no '/' at the end except for the root
};

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string Slashes(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

std::string LowerText(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Normal(const std::string& path) {
    std::string p = fs::path(path).lexically_normal().string();
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p.empty() ? std::string("/") : p;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (!name.empty() && name[0] == '/') return Normal(name);
    return Normal(folder == "/" ? "/" + name : folder + "/" + name);
}

std::string NamePart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string FolderPart(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A folder as it is on disk: as written, else found case-blind; empty when there is none.
std::string ExistingFolder(const std::string& path) {
    if (IsDirectory(path)) return Normal(path);
    std::string found = FindFileCaseBlind(path);
    return !found.empty() && IsDirectory(found) ? Normal(found) : std::string();
}

std::vector<FilterEntry> ParseFilters(const std::string& text) {
    std::vector<FilterEntry> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\0', pos);
        std::string description = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (description.empty() || end == std::string::npos) break;
        pos = end + 1;
        end = text.find('\0', pos);
        std::string patterns = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        out.push_back({description, patterns});
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return out;
}

// Several names in double quotes, or one name as typed.
std::vector<std::string> ParseNameList(const std::string& text) {
    if (text.find('"') == std::string::npos) return {text};
    std::vector<std::string> names;
    std::size_t pos = 0;
    while ((pos = text.find('"', pos)) != std::string::npos) {
        std::size_t end = text.find('"', pos + 1);
        std::string name = text.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
        if (!Trim(name).empty()) names.push_back(Trim(name));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return names;
}

std::string CurrentPattern(const FileDialogData& d) {
    if (!d.typedPattern.empty()) return d.typedPattern;
    if (d.filterIndex >= 0 && d.filterIndex < static_cast<int>(d.filters.size())) return d.filters[d.filterIndex].patterns;
    return "*.*";
}

void AddString(HWND list, UINT msg, const std::string& text) {
    SendMessage(list, msg, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool LessCaseBlind(const std::string& a, const std::string& b) {
    std::string la = LowerText(a), lb = LowerText(b);
    return la != lb ? la < lb : a < b;
}

// Fills the file and folder lists from the current folder (hidden entries left out).
void ListFolder(HWND hwnd, FileDialogData& d) {
    HWND files = GetDlgItem(hwnd, kFileList);
    HWND folders = GetDlgItem(hwnd, kFolderList);
    SendMessage(files, WM_SETREDRAW, FALSE, 0);
    SendMessage(files, LB_RESETCONTENT, 0, 0);
    SendMessage(folders, LB_RESETCONTENT, 0, 0);
    std::vector<std::string> fileNames, folderNames;
    std::error_code ec;
    const std::string pattern = CurrentPattern(d);
    for (fs::directory_iterator it(d.folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code typeError;
        if (it->is_directory(typeError)) folderNames.push_back(name);
        else if (FileNameMatchesPatterns(name, pattern)) fileNames.push_back(name);
    }
    std::sort(fileNames.begin(), fileNames.end(), LessCaseBlind);
    std::sort(folderNames.begin(), folderNames.end(), LessCaseBlind);
    for (const std::string& name : fileNames) AddString(files, LB_ADDSTRING, FileNameFromDisk(name));
    if (d.folder != "/") AddString(folders, LB_ADDSTRING, "[..]");
    for (const std::string& name : folderNames) AddString(folders, LB_ADDSTRING, "[" + FileNameFromDisk(name) + "]");
    SendMessage(files, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(files, nullptr, TRUE);
    SetDlgItemText(hwnd, kFolderPath, FileNameFromDisk(d.folder).c_str());
}

void ChangeFolder(HWND hwnd, FileDialogData& d, const std::string& folder) {
    d.folder = folder;
    ListFolder(hwnd, d);
}

// The folder an entry of the folder list stands for.
void OpenFolderEntry(HWND hwnd, FileDialogData& d) {
    HWND folders = GetDlgItem(hwnd, kFolderList);
    std::string entry = ListText(folders, static_cast<int>(SendMessage(folders, LB_GETCURSEL, 0, 0)), false);
    if (entry.size() < 3) return;
    std::string name = DiskFileName(entry.substr(1, entry.size() - 2));
    std::string target = name == ".." ? FolderPart(d.folder) : Join(d.folder, name);
    if (!target.empty() && IsDirectory(target)) ChangeFolder(hwnd, d, target);
    if (GetDlgItemText(hwnd, kFileNameEdit).empty() || HasWildcard(GetDlgItemText(hwnd, kFileNameEdit)))
        SetDlgItemText(hwnd, kFileNameEdit, CurrentPattern(d).c_str());
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Puts the names selected in the file list into the name field.
void TakeListSelection(HWND hwnd, FileDialogData& d) {
    HWND files = GetDlgItem(hwnd, kFileList);
    std::vector<std::string> names;
    if (d.multi) {
        int count = static_cast<int>(SendMessage(files, LB_GETSELCOUNT, 0, 0));
        std::vector<int> items(static_cast<std::size_t>(std::max(count, 0)));
        if (count > 0) SendMessage(files, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(items.data()));
        for (int i : items) names.push_back(ListText(files, i, false));
    } else {
        int i = static_cast<int>(SendMessage(files, LB_GETCURSEL, 0, 0));
        if (i >= 0) names.push_back(ListText(files, i, false));
    }
    if (names.empty()) return;
    std::string text = names.size() == 1 ? names[0] : std::string();
    if (names.size() > 1) {
        for (const std::string& n : names) text += (text.empty() ? "" : " ") + Quoted(n);
    }
    SetDlgItemText(hwnd, kFileNameEdit, text.c_str());
}

bool Ask(HWND hwnd, const std::string& text, UINT type, int yes) { return CommonDialogMessage(hwnd, text, type) == yes; }

void Complain(HWND hwnd, const std::string& text) { CommonDialogMessage(hwnd, text, MB_OK | MB_ICONEXCLAMATION); }

std::string ExtensionOf(const std::string& name) {
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
}

// The full path a typed name stands for, with the default extension and the case found on
// disk; empty after telling the user why there is none.
std::string ResolveChosen(HWND hwnd, const FileDialogData& d, const std::string& typed) {
    const OPENFILENAME& ofn = *d.ofn;
    // The typed name alone is converted: the folder is the file system's already.
    std::string path = Join(d.folder, Slashes(DiskFileName(typed)));
    if (const std::string raw = Join(d.folder, Slashes(typed)); raw != path && !Exists(path) && Exists(raw)) path = raw;
    if (!Exists(path)) {
        if (std::string found = FindFileCaseBlind(path); !found.empty()) path = found;
    }
    if (!ofn.lpstrDefExt.empty() && ExtensionOf(NamePart(path)).empty() && !IsDirectory(path)) {
        std::string withExt = path + "." + ofn.lpstrDefExt;
        std::string found = FindFileCaseBlind(withExt);
        if (!found.empty()) withExt = found;
        if (d.save || !found.empty() || !Exists(path)) path = withExt;
    }
    std::string folder = FolderPart(path);
    std::string existing = ExistingFolder(folder);
    if (existing.empty()) {
        if (d.save || (ofn.Flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST))) {
            Complain(hwnd, typed + "\nThe folder does not exist.\nCheck the path and try again.");
            return {};
        }
    } else {
        path = Join(existing, NamePart(path));
    }
    if (NamePart(path).empty() || IsDirectory(path)) {
        Complain(hwnd, typed + "\nThis is not a valid file name.");
        return {};
    }
    if ((ofn.Flags & OFN_FILEMUSTEXIST) && !Exists(path)) {
        Complain(hwnd, typed + "\nFile not found.\nCheck the file name and try again.");
        return {};
    }
    if (!d.save && (ofn.Flags & OFN_CREATEPROMPT) && !Exists(path) &&
        !Ask(hwnd, typed + "\nThis file does not exist.\nCreate the file?", MB_YESNO | MB_ICONQUESTION, IDYES)) {
        return {};
    }
    if (d.save && (ofn.Flags & OFN_OVERWRITEPROMPT) && Exists(path) &&
        !Ask(hwnd, FileNameFromDisk(path) + " already exists.\nDo you want to replace it?", MB_YESNO | MB_ICONEXCLAMATION, IDYES)) {
        return {};
    }
    return path;
}

void StoreResult(HWND hwnd, FileDialogData& d, const std::vector<std::string>& diskPaths) {
    OPENFILENAME& ofn = *d.ofn;
    std::vector<std::string> paths;
    for (const std::string& path : diskPaths) paths.push_back(FileNameFromDisk(path));
    if (paths.size() == 1) {
        ofn.lpstrFile = paths[0];
        ofn.lpstrFileTitle = NamePart(paths[0]);
        ofn.nFileOffset = static_cast<WORD>(std::min<std::size_t>(paths[0].rfind('/') + 1, 0xFFFF));
        std::string ext = ExtensionOf(ofn.lpstrFileTitle);
        ofn.nFileExtension = static_cast<WORD>(std::min<std::size_t>(ext.empty() ? paths[0].size() : paths[0].size() - ext.size(), 0xFFFF));
    } else {
        // Several files of one folder: the folder, then the names.
        const std::string folder = FolderPart(paths[0]);
        ofn.lpstrFile = folder;
        ofn.lpstrFile += '\0';
        for (const std::string& p : paths) {
            ofn.lpstrFile += NamePart(p);
            ofn.lpstrFile += '\0';
        }
        ofn.lpstrFileTitle.clear();
        ofn.nFileOffset = static_cast<WORD>(std::min<std::size_t>(folder.size() + 1, 0xFFFF));
        ofn.nFileExtension = 0;
    }
    ofn.nFilterIndex = static_cast<DWORD>(d.filterIndex + 1);
    ofn.Flags &= ~(OFN_READONLY | OFN_EXTENSIONDIFFERENT);
    if (IsDlgButtonChecked(hwnd, kReadOnlyCheck) == BST_CHECKED) ofn.Flags |= OFN_READONLY;
    if (!ofn.lpstrDefExt.empty() && LowerText(ExtensionOf(NamePart(paths[0]))) != LowerText(ofn.lpstrDefExt))
        ofn.Flags |= OFN_EXTENSIONDIFFERENT;
}

// OK: a pattern or a folder changes the listing; names are checked, and when they pass the
// dialog ends.
void OnOk(HWND hwnd, FileDialogData& d) {
    std::string text = Trim(GetDlgItemText(hwnd, kFileNameEdit));
    if (GetFocus() == GetDlgItem(hwnd, kFolderList) || text.empty()) {
        if (text.empty() && GetFocus() != GetDlgItem(hwnd, kFolderList)) {
            MessageBeep(0);
            return;
        }
        OpenFolderEntry(hwnd, d);
        return;
    }
    std::vector<std::string> names = d.multi ? ParseNameList(text) : std::vector<std::string>{text};
    if (names.size() == 1) {
        std::string name = Slashes(DiskFileName(names[0]));
        if (HasWildcard(name)) {
            std::string folderPart = FolderPart(name);
            if (!folderPart.empty()) {
                std::string folder = ExistingFolder(Join(d.folder, folderPart));
                if (folder.empty()) {
                    Complain(hwnd, names[0] + "\nThe folder does not exist.\nCheck the path and try again.");
                    return;
                }
                d.folder = folder;
            }
            d.typedPattern = NamePart(name);
            ListFolder(hwnd, d);
            SetDlgItemText(hwnd, kFileNameEdit, FileNameFromDisk(d.typedPattern).c_str());
            return;
        }
        if (std::string folder = ExistingFolder(Join(d.folder, name)); !folder.empty()) {
            ChangeFolder(hwnd, d, folder);
            SetDlgItemText(hwnd, kFileNameEdit, CurrentPattern(d).c_str());
            return;
        }
    }
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        if (HasWildcard(name)) {
            Complain(hwnd, name + "\nThis is not a valid file name.");
            return;
        }
        std::string path = ResolveChosen(hwnd, d, name);
        if (path.empty()) return;
        paths.push_back(path);
    }
    if (paths.empty()) return;
    if (paths.size() > 1) {
        // Several names are names in the current folder.
        for (const std::string& p : paths) {
            if (FolderPart(p) != d.folder) {
                Complain(hwnd, NamePart(p) + "\nSeveral files must be chosen from one folder.");
                return;
            }
        }
    }
    StoreResult(hwnd, d, paths);
    EndDialog(hwnd, IDOK);
}

void InitFileDialog(HWND hwnd, FileDialogData& d) {
    OPENFILENAME& ofn = *d.ofn;
    SetWindowText(hwnd, !ofn.lpstrTitle.empty() ? ofn.lpstrTitle.c_str() : d.save ? "Save As" : "Open");
    HWND types = GetDlgItem(hwnd, kFileTypeCombo);
    for (const FilterEntry& f : d.filters) AddString(types, CB_ADDSTRING, f.description);
    SendMessage(types, CB_SETCURSEL, static_cast<WPARAM>(d.filterIndex), 0);
    HWND drives = GetDlgItem(hwnd, kDriveCombo);
    AddString(drives, CB_ADDSTRING, "/");
    SendMessage(drives, CB_SETCURSEL, 0, 0);
    if (!(ofn.Flags & OFN_SHOWHELP)) ShowWindow(GetDlgItem(hwnd, kFileHelpButton), SW_HIDE);
    if (ofn.Flags & OFN_HIDEREADONLY) ShowWindow(GetDlgItem(hwnd, kReadOnlyCheck), SW_HIDE);
    CheckDlgButton(hwnd, kReadOnlyCheck, (ofn.Flags & OFN_READONLY) ? BST_CHECKED : BST_UNCHECKED);

    // The starting folder: the one in the starting name, else the initial folder, else the
    // working folder.
    // The dialog works in the file system's names and shows the program's.
    std::string start = Slashes(DiskFileName(ofn.lpstrFile.substr(0, ofn.lpstrFile.find('\0'))));
    std::error_code ec;
    std::string cwd = Normal(fs::current_path(ec).string());
    d.folder = cwd;
    std::string name = start;
    bool placed = false;
    if (std::string folderPart = FolderPart(start); !folderPart.empty()) {
        std::string folder = ExistingFolder(Join(cwd, folderPart));
        placed = !folder.empty();
        if (placed) d.folder = folder;
        name = NamePart(start);
    }
    if (!placed && !ofn.lpstrInitialDir.empty()) {
        if (std::string folder = ExistingFolder(Join(cwd, Slashes(DiskFileName(ofn.lpstrInitialDir)))); !folder.empty()) d.folder = folder;
    }
    if (HasWildcard(name)) d.typedPattern = name;
    ListFolder(hwnd, d);
    SetDlgItemText(hwnd, kFileNameEdit, name.empty() ? CurrentPattern(d).c_str() : FileNameFromDisk(name).c_str());
    SendDlgItemMessage(hwnd, kFileNameEdit, EM_SETSEL, 0, -1);
    SetFocusToControl(hwnd, kFileNameEdit);
}

INT_PTR FileDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    INT_PTR answer = FALSE;
    FileDialogData* d = BeginCommonDialogMessage<FileDialogData>(hwnd, msg, wParam, lParam, InitFileDialog, &answer);
    if (!d) return answer;
    if (msg != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
    case IDOK:
        OnOk(hwnd, *d);
        return TRUE;
    case IDCANCEL:
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
    case kFileList:
        if (code == LBN_SELCHANGE) TakeListSelection(hwnd, *d);
        if (code == LBN_DBLCLK) {
            TakeListSelection(hwnd, *d);
            OnOk(hwnd, *d);
        }
        return TRUE;
    case kFolderList:
        if (code == LBN_DBLCLK) OpenFolderEntry(hwnd, *d);
        return TRUE;
    case kFileTypeCombo:
        if (code == CBN_SELCHANGE) {
            int sel = static_cast<int>(SendDlgItemMessage(hwnd, kFileTypeCombo, CB_GETCURSEL, 0, 0));
            if (sel >= 0) d->filterIndex = sel;
            d->typedPattern.clear();
            ListFolder(hwnd, *d);
            std::string text = GetDlgItemText(hwnd, kFileNameEdit);
            if (text.empty() || HasWildcard(text)) SetDlgItemText(hwnd, kFileNameEdit, CurrentPattern(*d).c_str());
        }
        return TRUE;
    case kDriveCombo:
        if (code == CBN_SELCHANGE) ChangeFolder(hwnd, *d, "/");
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL RunFileDialog(OPENFILENAME* ofn, bool save) {
    if (!CommonDialogCallValid(ofn && ofn->lStructSize == sizeof(OPENFILENAME), ofn && (ofn->Flags & OFN_ENABLEHOOK),
                               ofn && ofn->lpfnHook))
        return FALSE;
    const DialogTemplate* t = CommonDialogTemplate(kFileDialogTemplate, ofn->Flags & OFN_ENABLETEMPLATE, ofn->lpTemplateName);
    if (!t) return FALSE;
    DialogTemplate dialog = *t;
    FileDialogData d;
    d.ofn = ofn;
    d.save = save;
    d.multi = !save && (ofn->Flags & OFN_ALLOWMULTISELECT);
    if (ofn->Flags & OFN_ENABLEHOOK) d.hook = ofn->lpfnHook;
    d.hookParam = reinterpret_cast<LPARAM>(ofn);
    d.filters = ParseFilters(ofn->lpstrFilter);
    d.filterIndex = d.filters.empty() ? 0 : std::clamp(static_cast<int>(ofn->nFilterIndex) - 1, 0, static_cast<int>(d.filters.size()) - 1);
    if (d.multi) {
        for (DialogItemTemplate& item : dialog.items)
            if (item.id == kFileList) item.style |= LBS_EXTENDEDSEL;
    }
    return RunCommonDialog(CommonDialogKind::File, dialog, ofn->hwndOwner, FileDialogProc, &d) == IDOK;
}

}  // namespace

bool FileNameMatchesPatterns(const std::string& name, const std::string& patterns) {
    std::size_t pos = 0;
    while (pos <= patterns.size()) {
        std::size_t end = patterns.find(';', pos);
        std::string p = Trim(patterns.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (p == "*.*" || p == "*") return true;
        if (!p.empty() && fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return false;
}

BOOL GetOpenFileName(OPENFILENAME* ofn) { return RunFileDialog(ofn, false); }

BOOL GetSaveFileName(OPENFILENAME* ofn) { return RunFileDialog(ofn, true); }

std::vector<std::string> ChosenFilePaths(const OPENFILENAME& ofn) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos < ofn.lpstrFile.size()) {
        std::size_t end = ofn.lpstrFile.find('\0', pos);
        if (end == std::string::npos) end = ofn.lpstrFile.size();
        if (end > pos) parts.push_back(ofn.lpstrFile.substr(pos, end - pos));
        pos = end + 1;
    }
    if (parts.size() <= 1) return parts;
    std::vector<std::string> paths;
    for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(Join(parts[0], parts[i]));
    return paths;
}

bool FileDialogWouldAsk() { return CommonDialogWouldAsk(CommonDialogKind::File); }

void ScriptFileDialogAnswer(std::optional<std::string> typed) {
    ScriptedAnswer answer;
    if (typed) {
        answer = [text = *typed](HWND dialog) {
            SetDlgItemText(dialog, kFileNameEdit, text.c_str());
            SetFocusToControl(dialog, kFileNameEdit);
        };
    }
    QueueCommonDialogAnswer(CommonDialogKind::File, std::move(answer));
}

}  // namespace win
