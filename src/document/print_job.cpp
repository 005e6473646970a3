#include "document/print_job.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>

#include "core/analysis_state.h"
#include "core/message_reporter.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/print_layout_services.h"
#include "ui/program_settings.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/file_names.h"
#include "document/title_block.h"
#include "platform/common_dialogs_file.h"
#include "platform/common_dialogs_print.h"
#include "platform/dialog.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/global_memory.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/window.h"

namespace kq5 {

namespace {

struct PrinterSetup {
    win::PRINTDLG pd;
    // The job.
    win::HDC jobDc = nullptr;
    bool running = false;
    bool cancelled = false;
    std::string title;
    std::string output;  // the PDF the job writes
    win::HWND abortDialog = nullptr;
    win::HWND disabledOwner = nullptr;
};

PrinterSetup& Setup()
{
    static PrinterSetup setup;
    return setup;
}

win::DEVMODE StoredDevMode()
{
    win::DEVMODE dm = win::DefaultDevMode();
    std::span<std::byte> bytes = win::GlobalBytes(Setup().pd.hDevMode);
    if (bytes.size() >= sizeof dm) std::memcpy(&dm, bytes.data(), sizeof dm);
    return dm;
}

// Where the PDF is proposed: next to the window's file, under its name.
std::string ProposedOutput(WindowRecord* record)
{
    std::string name = record && record->document && !record->document->name.empty() ? record->document->name
                                                                                       : GetRecordTitle(record);
    // A plot window of many runs is titled by its caption ("Graph3D:V(2) vs T"), not a file:
    // what would read as a folder or a drive in it becomes part of the name.
    if (record && LayoutServicesOf(record->kind) != nullptr)
        std::replace_if(name.begin(), name.end(), [](char c) { return std::strchr(":/\\*?\"<>|", c) != nullptr; }, '_');
    if (name.empty()) name = "print";
    std::filesystem::path path(name);
    // A command-line job prints a circuit and then each of its analyses: each gets a file of
    // its own beside the circuit's.
    if (Settings().batchRun && record && record->kind == kWindowAnalysis) {
        static constexpr const char* kSuffix[] = {"_tran", "_ac", "_dc"};
        const int kind = std::clamp(static_cast<int>(Analysis().analysisKind), 0, 2);
        path.replace_extension();
        path += kSuffix[kind];
    }
    path.replace_extension(".pdf");
    // A window without a file of its own prints where the user's files are, not into whatever
    // directory the program was started from.
    if (path.is_relative() && !Settings().workingDirectory.empty())
        path = std::filesystem::path(Settings().workingDirectory) / path;
    return path.string();
}

std::optional<std::string> AskOutput(WindowRecord* record, WindowRecord* namedAfter)
{
    const std::string proposed = ProposedOutput(namedAfter ? namedAfter : record);
    win::PrintState& s = win::Printing();
    win::HWND owner = record ? record->window : nullptr;
    std::optional<std::string> answer;
    if (!s.scripted.empty() || s.asker) answer = win::AskForPrintFile(owner, proposed);
    else if (win::FileDialogWouldAsk()) answer = win::AskPdfFileName(owner, proposed);
    else answer = proposed;
    // A bare name goes beside the circuit, not into whatever the current directory is.
    if (answer && std::filesystem::path(*answer).is_relative())
        answer = (std::filesystem::path(proposed).parent_path() / *answer).string();
    return answer;
}

win::INT_PTR PrintAbortDlgProc(win::HWND dialog, win::UINT message, win::WPARAM, win::LPARAM)
{
    PrinterSetup& s = Setup();
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        win::SetFocus(win::GetDlgItem(dialog, win::IDCANCEL));
        win::EnableMenuItem(win::GetSystemMenu(dialog, win::FALSE), static_cast<win::UINT>(win::SC_CLOSE), win::MF_GRAYED);
        return win::FALSE;
    case win::WM_COMMAND:
        s.cancelled = true;
        if (s.disabledOwner) win::EnableWindow(s.disabledOwner, win::TRUE);
        s.disabledOwner = nullptr;
        s.abortDialog = nullptr;
        win::DestroyWindow(dialog);
        return win::TRUE;
    default:
        return win::FALSE;
    }
}

// Between pages the waiting messages are handled, so that Cancel in the "Printing" dialog is
// heard; false once the job was cancelled.
win::BOOL PrintAbortProc(win::HDC, int)
{
    PrinterSetup& s = Setup();
    win::MSG msg{};
    while (!s.cancelled && win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) {
        if (s.abortDialog && win::IsDialogMessage(s.abortDialog, &msg)) continue;
        win::TranslateMessage(&msg);
        win::DispatchMessage(&msg);
    }
    return s.cancelled ? win::FALSE : win::TRUE;
}

// The modeless "Printing" dialog of a job; the owner is disabled until the job ends.
void OpenAbortDialog(win::HWND owner)
{
    PrinterSetup& s = Setup();
    s.abortDialog = win::CreateDialogParam(win::GetModuleHandle(nullptr), kPrintingDialog, owner, PrintAbortDlgProc, 0);
    if (s.abortDialog) win::SetDlgItemText(s.abortDialog, kPrintingTitleItem, s.title.c_str());
    if (owner && s.abortDialog) {
        win::EnableWindow(owner, win::FALSE);
        s.disabledOwner = owner;
    }
}

void CloseAbortDialog()
{
    PrinterSetup& s = Setup();
    if (s.disabledOwner) win::EnableWindow(s.disabledOwner, win::TRUE);
    s.disabledOwner = nullptr;
    if (s.abortDialog) win::DestroyWindow(s.abortDialog);
    s.abortDialog = nullptr;
}

}  // namespace

void ReadBackOrientation()
{
    const win::DEVMODE dm = StoredDevMode();
    TitleBlockFields().orientation = dm.dmOrientation == win::DMORIENT_LANDSCAPE ? 2 : 1;
}

void InvalidateDocumentWindows()
{
    for (const auto& record : WindowRecords().records) {
        if (record->window && record->document) win::InvalidateRect(record->window, nullptr, 1);
    }
}

void ApplyPrinterDefaults()
{
    win::PRINTDLG& pd = Setup().pd;
    if (pd.hDevMode == nullptr || pd.hDevNames == nullptr) {
        win::PRINTDLG probe;
        probe.Flags = win::PD_RETURNDEFAULT;
        if (!win::PrintDlg(&probe)) return;
        if (pd.hDevMode) win::GlobalFree(pd.hDevMode);
        if (pd.hDevNames) win::GlobalFree(pd.hDevNames);
        pd.hDevMode = probe.hDevMode;
        pd.hDevNames = probe.hDevNames;
    }
    std::span<std::byte> bytes = win::GlobalBytes(pd.hDevMode);
    if (bytes.size() < sizeof(win::DEVMODE)) return;
    win::DEVMODE dm = StoredDevMode();
    dm.dmOrientation = TitleBlockFields().orientation == 2 ? win::DMORIENT_LANDSCAPE : win::DMORIENT_PORTRAIT;
    dm.dmFields |= win::DM_ORIENTATION;
    std::memcpy(bytes.data(), &dm, sizeof dm);
}

int RunPrintSetup(win::HWND owner)
{
    ApplyPrinterDefaults();
    win::PRINTDLG& pd = Setup().pd;
    const win::DWORD saved = pd.Flags;
    pd.hwndOwner = owner;
    pd.Flags = (saved & ~(win::PD_RETURNDC | win::PD_RETURNDEFAULT)) | win::PD_PRINTSETUP | win::PD_NOPAGENUMS |
               win::PD_NOSELECTION;
    const bool confirmed = win::PrintDlg(&pd) != 0;
    pd.Flags = saved;
    if (!confirmed) return 0;
    ReadBackOrientation();
    InvalidateDocumentWindows();
    return 1;
}

win::DEVMODE PrinterDevMode()
{
    ApplyPrinterDefaults();
    return StoredDevMode();
}

win::HDC CreatePrinterDC()
{
    ApplyPrinterDefaults();
    const std::optional<win::DevNamesText> names = win::ReadDevNames(Setup().pd.hDevNames);
    const win::DEVMODE dm = StoredDevMode();
    if (!names) return win::CreateDC(win::kPrinterDriver, win::kPrinterDevice, win::kPrinterPort, &dm);
    return win::CreateDC(names->driver.c_str(), names->device.c_str(), names->output.c_str(), &dm);
}

void PrintFreeSetup()
{
    PrinterSetup& s = Setup();
    if (s.pd.hDevMode) win::GlobalFree(s.pd.hDevMode);
    if (s.pd.hDevNames) win::GlobalFree(s.pd.hDevNames);
    if (s.pd.hDC) win::DeleteDC(s.pd.hDC);
    if (s.jobDc) win::DeleteDC(s.jobDc);
    s = PrinterSetup{};
}

win::PRINTDLG& PrinterDialogSettings() { return Setup().pd; }

void ShowPrintingTitle(const std::string& title)
{
    if (Setup().abortDialog) win::SetDlgItemText(Setup().abortDialog, kPrintingTitleItem, title.c_str());
}

win::HWND PrintingDialog() { return Setup().abortDialog; }

win::HDC StartPrintJob(WindowRecord* record, WindowRecord* namedAfter)
{
    PrinterSetup& s = Setup();
    // Between pages the job hands waiting messages on; a print command among them (a held
    // Ctrl+Shift+W) must not start a second job inside the first.
    if (s.jobDc != nullptr) return nullptr;
    s.title = GetRecordTitle(record).substr(0, 259);
    BeginWaitCursor(record ? record->window : nullptr);
    win::HDC dc = CreatePrinterDC();
    if (dc == nullptr) {
        if (!Settings().demoRunning) ReportMessage("E", kMsgNoPrinter);
        EndWaitCursor();
        return nullptr;
    }
    const std::optional<std::string> output = AskOutput(record, namedAfter);
    if (!output) {
        // The user chose not to print after all: nothing to report.
        win::DeleteDC(dc);
        EndWaitCursor();
        return nullptr;
    }
    s.running = true;
    s.cancelled = false;
    s.output = *output;
    OpenAbortDialog(record ? record->window : nullptr);
    win::DOCINFO info;
    info.lpszDocName = s.title;
    info.lpszOutput = *output;
    if (win::SetAbortProc(dc, PrintAbortProc) <= 0 || win::StartDoc(dc, &info) <= 0) {
        ReportMessage("E", kMsgUnableToPrint);
        s.running = false;
        CloseAbortDialog();
        win::DeleteDC(dc);
        EndWaitCursor();
        return nullptr;
    }
    s.jobDc = dc;
    return dc;
}

void EndPrintJob()
{
    PrinterSetup& s = Setup();
    if (s.jobDc == nullptr) return;
    // A job stopped by a page the printer refused (the disk full, the file gone) leaves no PDF:
    // the user hears of it rather than finding nothing.
    const bool failed = !s.cancelled && !s.running;
    if (s.cancelled || failed) win::AbortDoc(s.jobDc);
    if (failed || (!s.cancelled && win::EndDoc(s.jobDc) <= 0)) ReportMessage("E", kMsgWritingFile, s.output.c_str());
    win::DeleteDC(s.jobDc);
    s.jobDc = nullptr;
    s.running = false;
    CloseAbortDialog();
    EndWaitCursor();
}

bool PrintJobRunning() { return Setup().running && !Setup().cancelled; }

bool PrintJobPage(win::HDC dc, const std::function<void()>& draw)
{
    // Our printer has no bands: the page is drawn once.
    bool ok = win::StartPage(dc) > 0;
    if (ok) {
        draw();
        ok = win::EndPage(dc) > 0;
    }
    if (!ok) Setup().running = false;
    return ok;
}

win::RECT PrintableRect(win::HDC dc)
{
    return {0, 0, win::GetDeviceCaps(dc, win::HORZRES), win::GetDeviceCaps(dc, win::VERTRES)};
}

bool IsTwoColorDC(win::HDC dc) { return win::GetDeviceCaps(dc, win::NUMCOLORS) == 2; }

void DrawPrintFrame(win::HDC dc, WindowRecord* record, const win::RECT& area, bool border)
{
    if (!IsTwoColorDC(dc) && record && record->document) {
        win::HBRUSH brush = win::CreateSolidBrush(ColorIndexRgb(record->document->backgroundColor));
        win::FillRect(dc, &area, brush);
        win::DeleteObject(brush);
    }
    if (!border) return;
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    win::Rectangle(dc, area.left, area.top, area.right, area.bottom);
    win::SelectObject(dc, oldBrush);
    win::SelectObject(dc, oldPen);
}

}  // namespace kq5
