#include "analog/batch_run.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string_view>

#include "analog/analog_state.h"
#include "analog/analysis_start.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analog/statistics.h"
#include "analog/transient_run.h"
#include "core/error_context.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/field_stream.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "core/timers.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/document_windows.h"
#include "document/file_dialogs.h"
#include "document/file_names.h"
#include "netlist/spice_reader_state.h"
#include "platform/message.h"
#include "platform/win_messages.h"
#include "analog/analysis_run_services.h"

namespace kq5 {

namespace {

// Set by a termination signal (Ctrl-C in the terminal that started the batch).
volatile std::sig_atomic_t g_stopRequested = 0;

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

// The text after a keyword at the start of an upper-cased line, trimmed; nothing when the line
// does not begin with it.
bool KeywordRest(const std::string& line, std::string_view keyword, std::string& rest)
{
    if (Upper(line.substr(0, keyword.size())) != keyword) return false;
    rest = Trimmed(std::string_view(line).substr(keyword.size()));
    return true;
}

// Processes waiting messages; Esc typed meanwhile, a termination signal or the end of the program
// aborts the batch.
void PumpForEscape()
{
    if (BatchStopRequested()) BatchRun().abort = 1;
    win::MSG m{};
    while (win::PeekMessage(&m, nullptr, 0, 0, win::PM_REMOVE)) {
        if (m.message == win::WM_QUIT) {
            win::PostQuitMessage(static_cast<int>(m.wParam));
            BatchRun().abort = 1;
            return;
        }
        if (m.message == win::WM_KEYDOWN) {
            if (m.wParam == win::VK_ESCAPE) BatchRun().abort = 1;
            continue;
        }
        win::TranslateMessage(&m);
        win::DispatchMessage(&m);
    }
    if (win::GetAsyncKeyState(win::VK_ESCAPE) & 1) BatchRun().abort = 1;
}

// A command file is a text file: a folder, or a file holding NUL bytes, is something else named
// by mistake.
bool IsTextFile(const std::string& name)
{
    std::error_code error;
    if (std::filesystem::is_directory(name, error)) return false;
    FileStream stream = OpenFileRead(name);
    if (!stream) return true;  // the open that follows reports why
    char buffer[4096];
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, stream.get());
    return std::find(buffer, buffer + got, '\0') == buffer + got;
}

int ReopenCommandFile()
{
    BatchRunState& b = BatchRun();
    if (b.commandUnit < 0) b.commandUnit = FindFreeUnit();
    if (b.commandUnit < 0) return kMsgInsufficientMemory;
    b.lineIndex = 0;
    const int result = OpenUnitDiskFile(b.commandFile, b.commandUnit);
    if (result != 0) b.commandUnit = -1;
    return result;
}

// The first schematic or text circuit window.
WindowRecord* TopCircuitRecord()
{
    for (const auto& record : WindowRecords().records)
        if ((record->kind == kWindowSchematic || record->kind == kWindowTextCircuit) && record->document) return record.get();
    return nullptr;
}

void CloseCircuitWindow(WindowRecord* record)
{
    if (!record || !IsLiveWindowRecord(record)) return;
    record->modified = 0;
    if (record->window) {
        win::SendMessage(record->window, win::WM_CLOSE, 0, 0);
        if (IsLiveWindowRecord(record)) win::DestroyWindow(record->window);
        return;
    }
    FreeDocumentRecord(record);
}

// A job's file is read as the window would open it: a .cir file that starts with a schematic's
// section header or version line is a schematic even when that header is damaged or of a
// generation this program cannot read, so the user hears why, not the netlist reader's view of
// it. Every other file is read as a SPICE text circuit, whatever its extension.
int CircuitFileKind(const std::string& name)
{
    return DetectFileKind(name, 1) == kFileKindSchematic ? kFileKindSchematic : kFileKindTextCircuit;
}

std::string CircuitName(const WindowRecord* record) { return StripDirectory(GetRecordTitle(record)); }

// Where a job's circuit is: found as the window finds a name it is given (the working folder, the
// current folder, $KQ5DATA), else beside the command file that names it, so that a command file
// run from another folder finds the circuits kept with it.
std::string JobCircuitPath(const std::string& name)
{
    std::string path;
    ResolveFileName(path, name, false);
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) return path;
    const BatchRunState& b = BatchRun();
    const std::filesystem::path written(ToNativeSeparators(name));
    if (b.commandUnit >= 0 && !b.commandFile.empty() && written.is_relative()) {
        const std::filesystem::path folder = std::filesystem::path(ToNativeSeparators(b.commandFile)).parent_path();
        const std::string beside = ResolveFilePath((folder / written).lexically_normal().string());
        if (std::filesystem::is_regular_file(beside, error)) return beside;
    }
    return path;
}

// Reads lines up to the one that asks for an analysis. False at the end of the batch.
bool NextAnalysisLine(BatchLine& parsed)
{
    BatchRunState& b = BatchRun();
    if (b.commandUnit < 0) {
        if (b.singleLine.empty() || b.singleLineTaken) return false;
        b.singleLineTaken = true;
        return ParseBatchLine(parsed, b.singleLine);
    }
    std::string line;
    for (;;) {
        const int at = b.lineIndex;
        if (ReadBatchLine(line) != 0) return false;
        std::string label;
        if (KeywordRest(line, "GOTO", label)) {
            PumpForEscape();
            if (b.abort) return false;
            // Passing the same GOTO twice without an analysis in between can only go round for ever.
            if (std::find(b.gotosSinceAnalysis.begin(), b.gotosSinceAnalysis.end(), at) != b.gotosSinceAnalysis.end()) {
                ReportMessage("E", kMsgBatchLoop, label.c_str());
                ++b.failures;
                return false;
            }
            b.gotosSinceAnalysis.push_back(at);
            if (ReopenCommandFile() != 0) return false;
            for (;;) {
                std::string target;
                if (ReadBatchLine(target) != 0) {
                    ReportMessage("F", "Can't Find LABEL %s", label.c_str());
                    ++b.failures;
                    return false;
                }
                std::string name;
                if (KeywordRest(target, "LABEL", name) && Upper(name) == Upper(label)) break;
            }
            continue;
        }
        if (ParseBatchLine(parsed, line)) return true;
        // A line of switches none of which asks for an analysis is refused as a line with a
        // wrong switch beside its analyses is.
        std::string labelName;
        if (!KeywordRest(line, "LABEL", labelName) && parsed.leftover.find('/') != std::string::npos) return true;
    }
}

// A netlist without the line of the analysis asked for: a transient or AC analysis runs with
// its default limits, which the user is told; a DC sweep has no source to sweep and is refused.
bool AnalysisLineGiven(WindowRecord* circuit, int kind)
{
    if (circuit->kind != kWindowTextCircuit || NetlistReader().analysisStatements[static_cast<std::size_t>(kind)].line >= 0)
        return true;
    static constexpr const char* kLines[] = {".TRAN", ".AC", ".DC"};
    const std::string name = CircuitName(circuit);
    if (kind == kAnalysisDc) {
        ReportMessage("E", kMsgNoDcLine, name.c_str());
        return false;
    }
    ReportMessage("E", kMsgDefaultLimitsRun, name.c_str(), kLines[kind]);
    return true;
}

void RunLineAnalyses(const BatchLine& line)
{
    BatchRunState& b = BatchRun();
    const bool wanted[3] = {line.transient, line.ac, line.dc};
    b.linePrintAnalysis = line.printAnalysis;
    for (int kind = 0; kind < 3 && !b.abort; ++kind) {
        if (!wanted[kind]) continue;
        WindowRecord* circuit = TopCircuitRecord();
        if (!circuit) return;
        ClearRunCounts();
        b.startClock = b.endClock = GetTimeSeconds();
        double seconds = 0.0;
        if (RunAnalysisCommand(circuit, kind) != 0) {
            ++b.failures;
        } else if (!AnalysisLineGiven(circuit, kind)) {
            ++b.failures;
        } else {
            // Only an analysis that ran moves the batch on; one that cannot start does not.
            b.gotosSinceAnalysis.clear();
            const int saved = b.flags;
            if (line.runMode == kBatchSave || line.runMode == kBatchRetrieve) b.flags = line.runMode;
            const int result = RunAnalysisTimed(kind);
            if (result != 0 && result != kMsgStoppedByUser) ++b.failures;
            b.flags = saved;
            b.endClock = GetTimeSeconds();
            seconds = RunControl().elapsedTime;
            if ((b.printAnalysis || line.printAnalysis) && b.printWindow && RunControl().analysisWindow)
                b.printWindow(RunControl().analysisWindow);
        }
        WriteStatisticsRow(CircuitName(circuit), kind, static_cast<unsigned long>(AnalogSolver().iterationTotal),
                           static_cast<unsigned long>(kind == kAnalysisTransient ? TransientRun().rejectedCount : 0),
                           static_cast<unsigned long>(AnalogSolver().acceptedPointCount), seconds);
        b.totalElapsed += seconds;
        ExitAnalysis();
        PumpForEscape();
    }
}

}  // namespace

BatchRunState& BatchRun()
{
    static BatchRunState state;
    return state;
}

void ResetBatchRunForTests()
{
    BatchRun() = BatchRunState{};
    g_stopRequested = 0;
}

void RequestBatchStop() { g_stopRequested = 1; }

bool BatchStopRequested() { return g_stopRequested != 0; }

int StartBatchRun()
{
    BatchRunState& b = BatchRun();
    b.abort = 0;
    b.totalElapsed = 0.0;
    b.gotosSinceAnalysis.clear();
    b.singleLineTaken = false;
    b.failures = 0;
    b.closingError.clear();
    b.failedFile.clear();
    Analog().batchErrorLogUnit = -1;
    if (!(b.flags & (kBatchRetrieve | kBatchSave | kBatchNormal))) return 0;
    Settings().batchRun = true;
    std::string first = b.commandFile;
    if (first.empty() && !b.singleLine.empty()) {
        BatchLine single;
        ParseBatchLine(single, b.singleLine);
        first = ResolveFilePath(single.circuit);
    }
    if (first.empty()) first = GetRecordTitle(TopCircuitRecord());
    std::string path = first;
    ReplaceExtension(path, "DOC");
    // A command file that cannot be read at all is no batch: nothing is written for it.
    if (!b.commandFile.empty() && !std::filesystem::is_directory(ResolveFilePath(b.commandFile))) {
        if (!OpenFileRead(ResolveFilePath(b.commandFile))) {
            const int error = errno;
            b.failedFile = b.commandFile;
            return error == ENOENT || error == 0 ? kMsgFileNotFound : ErrnoToMessageId(error);
        }
    }
    const std::string firstField = b.commandFile.empty() ? StripDirectory(first) : b.commandFile;
    if (const int result = OpenStatisticsFile(path, firstField); result != 0) {
        b.failedFile = path;
        return result;
    }
    if (!b.commandFile.empty()) {
        b.commandFile = ResolveFilePath(b.commandFile);
        int result = IsTextFile(b.commandFile) ? 0 : kMsgNotACommandFile;
        if (result == 0) result = ReopenCommandFile();
        if (result != 0) {
            SetPendingErrorText(b.commandFile);
            ReportMessage("E", result, b.commandFile.c_str());
            ++b.failures;
            EndBatchRun();
            return 0;
        }
    }
    return 0;
}

int ReadBatchLine(std::string& line)
{
    BatchRunState& b = BatchRun();
    line.clear();
    if (b.commandUnit < 0) return kMsgEndOfFile;
    std::string raw;
    const int status = ReadUnitRawLine(b.commandUnit, raw);
    if (status != 0) return status;
    // A command file saved by an editor that marks its text as UTF-8 begins with the mark; it is
    // no part of the first line's circuit name.
    if (b.lineIndex == 0 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
    ++b.lineIndex;
    if (const std::size_t semicolon = raw.find(';'); semicolon != std::string::npos) raw.resize(semicolon);
    // A tab parts the words as a blank does: "rc.cir<tab>/T" names the circuit and its switch.
    std::replace(raw.begin(), raw.end(), '\t', ' ');
    raw.erase(std::remove(raw.begin(), raw.end(), '\r'), raw.end());
    line = Trimmed(raw);
    if (!line.empty() && (line[0] == '*' || line[0] == ':')) line.clear();
    return 0;
}

bool ParseBatchLine(BatchLine& parsed, const std::string& text)
{
    parsed = BatchLine{};
    std::string line = text;
    TakeSwitch(line, "/TOSPICE");
    parsed.transient = TakeSwitchChar(line, 'T') >= 0;
    parsed.ac = TakeSwitchChar(line, 'A') >= 0;
    parsed.dc = TakeSwitchChar(line, 'D') >= 0;
    parsed.printCircuit = TakeSwitch(line, "/PC") >= 0;
    parsed.printAnalysis = TakeSwitch(line, "/PA") >= 0;
    if (TakeSwitchChar(line, 'P') >= 0) parsed.printCircuit = parsed.printAnalysis = true;
    if (TakeSwitchChar(line, 'S') >= 0)
        parsed.runMode = kBatchSave;
    else if (TakeSwitchChar(line, 'R') >= 0)
        parsed.runMode = kBatchRetrieve;
    parsed.circuit = TakeCommandLineArg(line);
    parsed.leftover = Trimmed(line);
    return parsed.transient || parsed.ac || parsed.dc;
}

int RunBatchFile()
{
    BatchRunState& b = BatchRun();
    if (b.flags == 0) return b.failures;
    while (!b.abort && (b.commandUnit >= 0 || !b.singleLine.empty())) {
        BatchLine line;
        if (!NextAnalysisLine(line)) break;
        WindowRecord* top = TopCircuitRecord();
        const std::string path = JobCircuitPath(line.circuit);
        if (!line.circuit.empty() && !(top && FileNamesEqual(GetRecordTitle(top), path))) {
            CloseCircuitWindow(top);
            if (!std::filesystem::is_regular_file(path)) {
                // A circuit named on the command line is no command file's.
                ReportMessage("E", b.commandUnit >= 0 ? kMsgCircuitNotFound : kMsgFileNotFound, line.circuit.c_str());
                ++b.failures;
                continue;
            }
            WindowRecord* loaded = nullptr;
            const int result = LoadCircuitFile(nullptr, path, CircuitFileKind(path), kLoadDefaults, loaded);
            PumpForEscape();
            if (result != 0 || !loaded) {
                ++b.failures;
                continue;
            }
            if ((b.printCircuit || line.printCircuit) && b.printWindow) {
                b.printWindow(loaded);
                PumpForEscape();
            }
        }
        if (!line.leftover.empty()) {
            ReportMessage("E", kMsgCommandLineError, line.leftover.c_str());
            ++b.failures;
        } else {
            RunLineAnalyses(line);
        }
        CloseCircuitWindow(TopCircuitRecord());
        PumpForEscape();
    }
    // The statistics must not read as a whole batch when the user stopped it part way.
    if (b.abort) ReportMessage("E", kMsgBatchStopped);
    EndBatchRun();
    return b.failures;
}

void EndBatchRun()
{
    BatchRunState& b = BatchRun();
    if (b.commandUnit >= 0) {
        CloseUnit(b.commandUnit);
        b.commandUnit = -1;
    }
    std::string statisticsName;
    if (const int status = CloseStatisticsFile(b.totalElapsed, &statisticsName); status != 0) {
        ++b.failures;
        b.closingError = ComposeErrorText(kMsgFileNotWritten, MakeMessageArgs(statisticsName, ComposeErrorText(status)));
    }
    b.commandFile.clear();
    b.singleLine.clear();
    b.flags = 0;
    if (WindowRecord* frame = FrameRecord(); frame && frame->window) win::PostMessage(frame->window, win::WM_CLOSE, 0, 0);
}

}  // namespace kq5
