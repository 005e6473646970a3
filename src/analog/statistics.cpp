#include "analog/statistics.h"

#include <cstdio>
#include <new>

#include "analog/analog_state.h"
#include "core/batch_log.h"
#include "analog/batch_run.h"
#include "ui/window_record.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "core/timers.h"
#include "document/circuit_document.h"
#include "document/file_names.h"

namespace kq5 {

namespace {

std::string WindowName(const WindowRecord* record)
{
    if (!record) return {};
    switch (record->kind) {
    case kWindowSchematic:
    case kWindowTextCircuit:
    case kWindowAnalysis:
        return record->document ? record->document->name : GetRecordTitle(record);
    case 10:
        return CurrentDocument() ? CurrentDocument()->name : std::string();
    default: return {};
    }
}

}  // namespace

int OpenStatisticsFile(const std::string& path, const std::string& firstField)
{
    const int unit = FindFreeUnit();
    if (unit < 0) return kMsgInsufficientMemory;
    const int result = CreateReplacingUnit(path, unit);
    if (result != 0) return result;
    Analog().batchErrorLogUnit = unit;
    MessageLog().logBatchError = LogBatchError;
    UnitPrintf(unit, "%s %s %s\n", firstField.c_str(), FormatLocaleDate().c_str(), FormatLocaleTime().c_str());
    UnitPrintf(unit, "%s", LoadResString(kMsgStatisticsHeading1).c_str());
    UnitPrintf(unit, "%s", LoadResString(kMsgStatisticsHeading2).c_str());
    FlushUnit(unit);
    return 0;
}

bool StatisticsFileOpen() { return BatchErrorLogOpen(); }

void WriteStatisticsRow(const std::string& circuit, int kind, unsigned long iterations, unsigned long rejected,
                        unsigned long total, double seconds)
{
    if (!StatisticsFileOpen()) return;
    const int unit = Analog().batchErrorLogUnit;
    const char letter = kind >= 0 && kind < 4 ? "TADF"[kind] : '?';
    UnitPrintf(unit, "%-15s/%c%14lu%14lu%14lu%14g\n", circuit.c_str(), letter, iterations, rejected, total, seconds);
    FlushUnit(unit);
}

int CloseStatisticsFile(double totalSeconds, std::string* name)
{
    const int unit = Analog().batchErrorLogUnit;
    int status = 0;
    if (StatisticsFileOpen()) {
        UnitPrintf(unit, LoadResString(kMsgStatisticsTotal).c_str(), totalSeconds);
        if (name) *name = GetFileUnit(unit)->name;
        status = CloseUnit(unit);
    }
    Analog().batchErrorLogUnit = -1;
    return status;
}

void LogBatchError(const WindowRecord* record, const std::string& caption, const std::string& text)
{
    if (!StatisticsFileOpen()) return;
    const int unit = Analog().batchErrorLogUnit;
    std::string body;
    try {
        body = text;
    } catch (const std::bad_alloc&) {
        UnitPrintf(unit, "%s Error...Memory\n", WindowName(record).c_str());
        FlushUnit(unit);
        return;
    }
    // An error shown during a batch means a job did not do what it was asked.
    if (caption.rfind("Error", 0) == 0) ++BatchRun().failures;
    for (std::size_t at = body.find("\n\n"); at != std::string::npos; at = body.find("\n\n", at)) body.erase(at, 1);
    UnitPrintf(unit, "%s %s\n", caption.c_str(), WindowName(record).c_str());
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        UnitPrintf(unit, "\t%s\n", body.substr(start, end - start).c_str());
        start = end + 1;
    }
    FlushUnit(unit);
}

double& LastSetupSeconds()
{
    static double seconds = 0.0;
    return seconds;
}

}  // namespace kq5
