#include "app/startup.h"

#include <cfenv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "app/dialog_settings_sections.h"
#include "core/error_context.h"
#include "ui/color_table.h"
#include "app/demo_player.h"
#include "ui/frame_state.h"
#include "app/frame_window.h"
#include "ui/help_bar.h"
#include "app/menus.h"
#include "ui/mode_cursors.h"
#include "app/tool_bar_dialog.h"
#include "app/tool_bar_settings.h"
#include "app/command_routing.h"
#include "app/tool_windows.h"
#include "app/message_loop.h"
#include "document/file_dialogs.h"
#include "document/settings_file.h"
#include "ui/usage_file.h"
#include "document/usage_report.h"
#include "ui/preference_values.h"
#include "ui/program_settings.h"
#include "app/printing.h"
#include "app/single_instance.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "devices/device_record_types.h"
#include "schematic/mouse_input.h"
#include "document/circuit_file.h"
#include "document/document_windows.h"
#include "netlist/message_reporter_services.h"
#include "netlist/model_types.h"
#include "netlist/text_window_lines.h"
#include "platform/backend.h"
#include "platform/cursor.h"
#include "platform/dialog.h"
#include "platform/disk_file_names.h"
#include "platform/font.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/sdl_backend.h"
#include "platform/shell_drop.h"
#include "platform/system.h"
#include "platform/window.h"
#include "schematic/component_editor.h"
#include "document/component_library.h"
#include "document/shape_library.h"
#include "schematic/circuit_window.h"
#include "schematic/component_library_use.h"
#include "schematic/schematic_view.h"

namespace kq5 {

namespace {

constexpr int kCmdProgramStart = 13400;
constexpr int kCmdStartWithStatusBar = 13404;
constexpr int kFrameIcon = 1200;
constexpr int kFrameMenu = 100;
constexpr win::UINT_PTR kExternalRequestTimer = 0x6B51;
constexpr win::UINT kExternalRequestPeriodMs = 200;

volatile std::sig_atomic_t g_terminationRequested = 0;

void OnTerminationSignal(int) { g_terminationRequested = 1; }

// Ctrl-C stops a batch as Esc does, so that its statistics file tells what ran; a second one ends
// the program at once.
void OnBatchSignal(int) { RequestBatchStop(); }

void InstallBatchSignals()
{
    struct sigaction action {};
    action.sa_handler = OnBatchSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

std::string WithoutTrailingSeparator(std::string path)
{
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    return path;
}

std::string WithSeparator(std::string directory)
{
    if (!directory.empty() && directory.back() != '/') directory += '/';
    return directory;
}

std::string ExecutablePath(const std::string& argv0)
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) exe = std::filesystem::absolute(argv0.empty() ? "." : argv0, error);
    return exe.string();
}

std::string WithoutMarker(const std::string& text)
{
    return text.size() >= 2 && text[0] == '%' && (text[1] == 'E' || text[1] == 'W') ? text.substr(2) : text;
}

void ExternalRequestTimerProc(win::HWND, win::UINT, win::UINT_PTR, win::DWORD) { CheckExternalRequests(); }

void RaiseFrame()
{
    win::HWND frame = Frame().frame;
    if (frame == nullptr) return;
    win::HWND popup = win::GetLastActivePopup(frame);
    if (popup && win::IsIconic(popup)) win::ShowWindow(popup, win::SW_RESTORE);
    if (win::IsIconic(frame)) win::ShowWindow(frame, win::SW_RESTORE);
    win::SetForegroundWindow(popup ? popup : frame);
    win::BringWindowToTop(frame);
}

// The batch runs of the command line, without any window, as they always ran. Nobody looks at
// the screen of a batch run, so nothing is painted on it.
int RunBatch(const StartupCommandLine& line)
{
    win::PlatformOptions options;
    options.headless = true;
    options.unseen = true;
    win::InitPlatform(options);
    // A batch job runs with the user's settings as a window session does: the Global Settings
    // (TNOM, RELTOL, ITL...) and the number formats.
    InitCharClasses();
    CreateAppPalette();
    InitColorTable();
    RegisterDialogSettingsSections();
    ReadSettings();
    BatchRunState& batch = BatchRun();
    batch.flags = line.batchFlags;
    batch.printCircuit = line.printCircuit;
    batch.printAnalysis = line.printAnalysis;
    batch.printWindow = PrintWindowRecord;
    batch.commandFile = line.commandFile;
    batch.singleLine = line.batchLine;
    // Circuits of a batch are drawn with the libraries' components as in the windows.
    for (auto [load, path] : {std::pair{&LoadShapeLibraryFile, &Shapes().path}, std::pair{&LoadComponentLibrary, &ComponentLibrary().path}}) {
        if (int failed = load()) {
            win::ShutdownPlatform();
            return FatalStartupError(failed, *path);
        }
    }
    int status = StartBatchRun();
    if (status != 0) {
        win::ShutdownPlatform();
        return FatalStartupError(status, batch.failedFile.empty() ? batch.commandFile : batch.failedFile);
    }
    InstallBatchSignals();
    // A batch that did not do all it was asked ends with a failure status, so scripts notice.
    const int failures = RunBatchFile();
    win::ShutdownPlatform();
    if (!batch.closingError.empty()) std::fprintf(stderr, "kq5: %s\n", WithoutMarker(batch.closingError).c_str());
    if (failures > 0) {
        std::fprintf(stderr, "kq5: %s\n", WithoutMarker(ComposeErrorText(kMsgBatchFailures)).c_str());
        return 1;
    }
    return 0;
}

// Case-blind position of the text in the line, or npos.
std::size_t FindNoCase(const std::string& line, std::string_view text)
{
    for (std::size_t i = 0; i + text.size() <= line.size(); ++i) {
        if (EqualsNoCase(std::string_view(line).substr(i, text.size()), text)) return i;
    }
    return std::string::npos;
}

std::string QuotedWhenBlank(const std::string& word)
{
    return word.find(' ') != std::string::npos ? "\"" + word + "\"" : word;
}

}  // namespace

StartupCommandLine ReadCommandLine(const std::vector<std::string>& args)
{
    StartupCommandLine out;
    // The words as typed, one line again; a word with blanks is quoted so that it stays one.
    std::string line;
    for (const std::string& word : args) {
        if (!line.empty()) line += ' ';
        line += QuotedWhenBlank(word);
    }
    if (const std::size_t root = FindNoCase(line, "/ROOT:"); root != std::string::npos) {
        // A folder with blanks made its word quoted above; its value then runs to the closing quote.
        std::size_t start = root;
        const std::size_t from = root + 6;
        char stop = ' ';
        if (root > 0 && line[root - 1] == '"') {
            --start;
            stop = '"';
        }
        std::size_t end = from;
        while (end < line.size() && line[end] != stop) ++end;
        out.root = WithoutTrailingSeparator(line.substr(from, end - from));
        if (stop == '"' && end < line.size()) ++end;
        line.erase(start, end - start);
    }
    const std::string first = TakeCommandLineArg(line);
    if (!first.empty() && first[0] == '@') {
        if (TakeSwitch(line, "/PC") >= 0) out.printCircuit = true;
        if (TakeSwitch(line, "/PA") >= 0) out.printAnalysis = true;
        if (TakeSwitchChar(line, 'P') >= 0) out.printCircuit = out.printAnalysis = true;
        if (TakeSwitchChar(line, 'S') >= 0) out.batchFlags = kBatchSave;
        else if (TakeSwitchChar(line, 'R') >= 0) out.batchFlags = kBatchRetrieve;
        else out.batchFlags = kBatchNormal;
        out.commandFile = first.substr(1);
    } else if (!first.empty()) {
        std::string batchLine = QuotedWhenBlank(first) + " " + line;
        while (!batchLine.empty() && batchLine.back() == ' ') batchLine.pop_back();
        if (BatchLine probe; ParseBatchLine(probe, batchLine)) {
            out.batchLine = batchLine;
            out.batchFlags = probe.runMode;
            out.printCircuit = probe.printCircuit;
            out.printAnalysis = probe.printAnalysis;
            return out;
        }
        out.files.push_back(first);
        for (std::string next = TakeCommandLineArg(line); !next.empty(); next = TakeCommandLineArg(line)) out.files.push_back(next);
    }
    if (line.find('/') != std::string::npos) out.leftover = line;
    return out;
}

namespace {
constexpr int kMsgNoDisplay = 13405;

// KQ5_HEADLESS=1 runs the window program without a display on purpose (the platform's tests do).
bool HeadlessAsked()
{
    const char* asked = std::getenv("KQ5_HEADLESS");
    return asked && *asked && std::strcmp(asked, "0") != 0;
}
}  // namespace

int FatalStartupError(int messageId, const std::string& text)
{
    std::string shown = WithoutMarker(ComposeErrorText(messageId, MakeMessageArgs(text)));
    // A file error's text names the reason, not the file: say which file it was.
    if (!text.empty() && shown.find(text) == std::string::npos) shown += " (" + text + ")";
    std::fprintf(stderr, "kq5: %s\n", shown.c_str());
    Frame().fatalStartup = true;
    SettingsFile().startupFailed = true;
    if (Frame().frame) win::SendMessage(Frame().frame, win::WM_CLOSE, 0, 0);
    return 1;
}

void SetDataPathFromCommandLine(const std::string& executable, const std::string& root)
{
    FrameState& frame = Frame();
    const std::size_t cut = executable.find_last_of('/');
    frame.programDirectory = cut == std::string::npos ? std::string(".") : executable.substr(0, cut);
    // (one character assigned, not a literal: GCC 12 misreads the literal copy as overlapping)
    if (frame.programDirectory.empty()) frame.programDirectory.assign(1, '/');
    SetSettingsDataPath(root.empty() ? frame.programDirectory : WithoutTrailingSeparator(root));
    Settings().programDirectory = WithSeparator(frame.programDirectory);
}

bool RegisterWindowClasses()
{
    win::WNDCLASS frameClass;
    frameClass.lpfnWndProc = FrameWndProc;
    frameClass.hIcon = win::LoadIcon(nullptr, kFrameIcon);
    frameClass.hCursor = win::LoadCursor(nullptr, win::IDC_ARROW);
    frameClass.hbrBackground = static_cast<win::HBRUSH>(win::GetStockObject(win::GRAY_BRUSH));
    frameClass.lpszMenuName = win::MAKEINTRESOURCE(kFrameMenu);
    frameClass.lpszClassName = kFrameClassName;
    win::WNDCLASS existing;
    if (!win::GetClassInfo(nullptr, kFrameClassName, &existing) && win::RegisterClass(&frameClass) == 0) return false;
    // The schematic, text circuit and model library windows with the text editor control. The
    // other window classes come with the parts of the program that own them.
    return RegisterCircuitWindowClasses();
}

void UnregisterWindowClasses()
{
    for (const char* name : {kFrameClassName, kSchematicClassName, kTextCircuitClassName, kModelLibraryClassName}) {
        win::UnregisterClass(name, nullptr);
    }
}

int CreateFrameWindow()
{
    win::RECT area{};
    GetWorkArea(area);
    win::HWND frame = win::CreateWindowEx(0, kFrameClassName, kFrameTitle, win::WS_OVERLAPPEDWINDOW | win::WS_CLIPCHILDREN,
                                          area.left, area.top, area.right - area.left, area.bottom - area.top, nullptr,
                                          nullptr, nullptr, nullptr);
    if (frame == nullptr || Frame().mdiClient == nullptr) return 1;
    Frame().frame = frame;
    WindowRecord* record = NewWindowRecord(frame, kWindowFrame);
    if (record == nullptr) return 1;
    SetFrameRecord(record);
    return 0;
}

bool InitApplication()
{
    const win::DWORD version = win::GetVersion();
    const bool high = (version & 0x80000000u) != 0;
    const int major = static_cast<int>(version & 0xFF);
    Frame().windowsKind = high ? (major < 4 ? 1 : 3) : (major < 4 ? 2 : 4);
    Frame().keyboardType = win::GetKeyboardType(0);
    if (!RegisterWindowClasses()) return false;
    return CreateFrameWindow() == 0;
}

void StartupSequence(const StartupCommandLine& line)
{
    InitCharClasses();
    std::feclearexcept(FE_ALL_EXCEPT);
    LoadUsageFile();
    FrameState& frame = Frame();
    frame.batchMode = kBatchModeInteractive;
    CreateAppPalette();
    InitColorTable();
    win::LOGFONT system{};
    win::GetObject(win::GetStockObject(win::SYSTEM_FONT), sizeof system, &system);
    frame.systemFontHeight = std::abs(system.lfHeight);
    RegisterToolBarSettingsSections();
    RegisterDialogSettingsSections();
    ReadSettings();
    WarnIfSettingsCannotBeKept();
    // The sectioned file keeps the help bar with the Preferences, the older layout on its own line.
    SetHelpBarOption(SettingsFile().statusBarShown && PreferenceSettings().helpBarAtStart);
    ApplyDeviceListSizes();
    // The component tool buttons and the component menu come with the schematic editor.
    if (int status = LoadShapeLibraryFile()) {
        FatalStartupError(status, Shapes().path);
        return;
    }
    if (int status = LoadComponentLibrary()) {
        FatalStartupError(status, ComponentLibrary().path);
        return;
    }
    PaletteHooks().pickComponent = ChooseComponentByName;
    InstallPathWindow();
    std::srand(static_cast<unsigned>(win::GetTickCount()));
    LoadToolButtonBitmaps();
    RebuildComponentMenu();
    BindComponentButtonsToLibrary();
    ToolBarHooks().componentExists = [](const std::string& name) { return FindComponentDefinition(name) != nullptr; };
    ToolBarHooks().bindComponentButtons = &BindComponentButtonsToLibrary;
    BuildComponentPalettes();
    CreateDockedBars();
    FrameHelpBar().parent = frame.frame;
    if (HelpBarOption()) CreateStatusBar(frame.frame, FrameHelpBar());
    RefreshToolButtonStates();
    RelayoutFrame();
    OpenCommandLineFiles(line.files);
}

bool InitInstance(const StartupCommandLine& line, int showCommand)
{
    LoadCursors();
    if (!LoadAcceleratorTables()) return false;
    FrameState& frame = Frame();
    win::DragAcceptFiles(frame.frame, win::TRUE);
    win::ShowWindow(frame.frame, showCommand);
    win::UpdateWindow(frame.frame);
    win::ShowWindow(frame.mdiClient, win::SW_SHOW);
    StartupSequence(line);
    if (frame.fatalStartup) return false;
    CountCommandUse(kCmdProgramStart);
    if (FrameHelpBar().window) CountCommandUse(kCmdStartWithStatusBar);
    return true;
}

void OpenCommandLineFiles(const std::vector<std::string>& files)
{
    WindowRecord* last = nullptr;
    for (const std::string& word : files) {
        const std::string name = win::FileNameFromDisk(word);
        // The frame closed under a message box of the last one (a termination signal).
        if (FrameRecord() == nullptr) return;
        if (last && IsLiveWindowRecord(last) && last->window) win::UpdateWindow(last->window);
        last = nullptr;
        LoadCircuitFile(nullptr, name, DetectFileKind(name, 1), kLoadDefaults, last);
    }
}

namespace {

void WriteSettingsAndUsage()
{
    if (Frame().fatalStartup) return;
    SettingsFile().statusBarShown = HelpBarOption();
    PreferenceSettings().helpBarAtStart = HelpBarOption();
    WriteSettings();
    WriteUsageReport();
}

// The display went away under the program (its X server ended): nothing can be shown or asked
// any more, so the program ends here, keeping what it can without the user.
void OnDisplayLost()
{
    std::fprintf(stderr, "kq5: the display is gone; ending\n");
    if (Frame().frame) WriteSettingsAndUsage();
    if (!DemoSaveDirectory().empty())
        std::fprintf(stderr, "kq5: the documents put aside for the demo are in %s\n", DemoSaveDirectory().c_str());
    ReleaseSingleInstance();
}

}  // namespace

int OnFrameDestroy()
{
    FrameState& frame = Frame();
    WriteSettingsAndUsage();
    FreePendingErrorTexts();
    win::PostQuitMessage(0);
    DestroyCursors();
    FreeToolBars();
    FreeColorTable();
    // The menu bar is the frame's; the window takes it along when it goes.
    Menus().main = nullptr;
    DestroyMenus();
    DetachHelpBar(FrameHelpBar());
    FrameHelpBar() = HelpBar{};
    RemoveKeyboardHook();
    if (frame.frame) win::KillTimer(frame.frame, kExternalRequestTimer);
    WindowRecord* record = FrameRecord();
    FreeWindowRecord(record);
    frame.frame = nullptr;
    frame.mdiClient = nullptr;
    return 0;
}

int RunMessageLoop()
{
    win::MSG message{};
    while (win::GetMessage(&message, nullptr, 0, 0)) ProcessMessage(message);
    return static_cast<int>(message.wParam);
}

void InstallTerminationSignals()
{
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

void CheckExternalRequests()
{
    // Files of later starts wait while a dialog or a long command holds the frame; a message of
    // one file's load must not let the next one in under it either.
    static std::vector<std::string> waiting;
    static bool opening = false;
    RaiseRequests requests = TakeRaiseRequests();
    if (requests.raise) RaiseFrame();
    waiting.insert(waiting.end(), requests.files.begin(), requests.files.end());
    if (!waiting.empty() && !opening && Frame().frame && FrameRecord() && !Frame().busy && win::IsWindowEnabled(Frame().frame)) {
        opening = true;
        const std::vector<std::string> files = std::move(waiting);
        waiting.clear();
        // As a file dropped on the frame: the empty start-up window takes the first circuit.
        for (const std::string& file : files) {
            if (FrameRecord() == nullptr) break;
            const std::string name = win::FileNameFromDisk(file);
            OpenFileOfKind(name, DetectFileKind(name, 1));
        }
        opening = false;
    }
    if (g_terminationRequested && Frame().frame) {
        g_terminationRequested = 0;
        Frame().quitBySignal = true;
        win::PostMessage(Frame().frame, win::WM_CLOSE, 0, 0);
    }
}

int WinMain(const std::vector<std::string>& args)
{
    InitCharClasses();
    InstallMessageReporterServices();
    InstallTextWindowFiles();
    std::feclearexcept(FE_ALL_EXCEPT);
    const StartupCommandLine line = ReadCommandLine(std::vector<std::string>(args.begin() + (args.empty() ? 0 : 1), args.end()));
    SetDataPathFromCommandLine(ExecutablePath(args.empty() ? std::string() : args.front()), line.root);
    std::error_code error;
    // Names the user sees and types are the program's texts; the file system's UTF-8 is turned
    // into them where it comes in (the data root stays as given: it is never shown or typed).
    Settings().workingDirectory = WithSeparator(win::FileNameFromDisk(std::filesystem::current_path(error).string()));
    if (!line.leftover.empty()) return FatalStartupError(kMsgCommandLineError, line.leftover);

    RegisterCircuitDevices();
    RegisterCircuitDeviceRecordTypes();
    ApplyDeviceListSizes();
    InitModelTypeDefaults();
    InstallAnalysisKindHandlers();
    InstallSchematicEditorHooks();

    if (!line.commandFile.empty() || !line.batchLine.empty()) return RunBatch(line);

    {
        // The program that runs already opens this start's files: their names are made whole
        // here, where they were typed.
        std::vector<std::string> files;
        for (const std::string& file : line.files) files.push_back(std::filesystem::absolute(file, error).string());
        if (ClaimSingleInstance(SettingsFile().dataPath, false, files) != InstanceClaim::First) return 0;
    }
    // The desktop's own signal handling of the window system is replaced by ours: both end in
    // WM_CLOSE to the frame.
    // A window program that cannot reach its display would run on, unseen, for ever.
    if (win::InitPlatform(win::PlatformOptions{}) == win::BackendKind::Headless && !HeadlessAsked()) {
        const char* display = std::getenv("DISPLAY");
        const int status = FatalStartupError(kMsgNoDisplay, display && *display ? display : "");
        win::ShutdownPlatform();
        ReleaseSingleInstance();
        return status;
    }
    win::SetDisplayLostHandler(&OnDisplayLost);
    InstallTerminationSignals();
    int status = 0;
    // The timer runs from the frame's creation on: a message box of the start-up (a file of the
    // command line that cannot be read) waits for its answer, and a termination signal must still
    // end the program meanwhile.
    if (InitApplication()) {
        win::SetTimer(Frame().frame, kExternalRequestTimer, kExternalRequestPeriodMs, ExternalRequestTimerProc);
        if (InitInstance(line, win::SW_SHOWMAXIMIZED) && FrameRecord() != nullptr) {
            OpenFirstCircuitWindow();
            status = RunMessageLoop();
        }
    }
    UnregisterWindowClasses();
    FreeComponentLibrary();
    FreeShapeLibrary();
    win::ShutdownPlatform();
    ReleaseSingleInstance();
    return Frame().fatalStartup ? 1 : status;
}

}  // namespace kq5
