#include "document/usage_report.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "ui/program_settings.h"
#include "ui/usage_file.h"
#include "document/settings_file.h"
#include "ui/user_names.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/file_units.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/component_types.h"
#include "platform/system.h"

namespace kq5 {

namespace {

constexpr const char* kProgramVersionText = "2.1.2";
constexpr const char* kCreationDateKey = "CreationDate=";
// Keys of the report: the statistics among them are read back, the rest only written.
constexpr const char* kReportKeys[] = {
    "UserName", "CompanyName",    "LastDate",       "WindowsVersion", "Screen",         "Processor",
    "Devices",  "Version",        "Runs",           "Language",       "Country",        "MaxAnalogNode",
    "MaxDigitalNode", "AvgAnalogNode", "AvgDigitalNode", "CompRuns", "MaxComponentLevel0", "AvgComponentLevel0",
};
// The processor type the program reports for an x86-64 machine.
constexpr int kProcessorAmd64 = 8664;

std::string Today()
{
    return win::GetDateFormat(win::LOCALE_USER_DEFAULT, win::DATE_SHORTDATE, nullptr, "MM/dd/yy");
}

bool IsReportKey(std::string_view key)
{
    for (const char* report : kReportKeys)
        if (EqualsNoCase(key, report)) return true;
    return false;
}

double FiniteOrZero(double value) { return std::isfinite(value) && value >= 0.0 ? value : 0.0; }
int NonNegative(int value) { return value < 0 ? 0 : value; }

void ReadStatistic(std::string_view key, const std::string& value, UsageStatistics& s)
{
    const int number = NonNegative(TextToInt(value));
    const double real = FiniteOrZero(std::strtod(value.c_str(), nullptr));
    if (EqualsNoCase(key, "Runs")) s.runs = number;
    else if (EqualsNoCase(key, "CompRuns")) s.compRuns = number;
    else if (EqualsNoCase(key, "MaxAnalogNode")) s.maxAnalogNode = number;
    else if (EqualsNoCase(key, "MaxDigitalNode")) s.maxDigitalNode = number;
    else if (EqualsNoCase(key, "MaxComponentLevel0")) s.maxComponentLevel0 = number;
    else if (EqualsNoCase(key, "AvgAnalogNode")) s.avgAnalogNode = real;
    else if (EqualsNoCase(key, "AvgDigitalNode")) s.avgDigitalNode = real;
    else if (EqualsNoCase(key, "AvgComponentLevel0")) s.avgComponentLevel0 = real;
}

// The system kind by the version word: Win32s, NT before 4, Windows 95, NT 4.
std::string SystemKindName(std::uint32_t version)
{
    const bool notNt = (version & 0x80000000u) != 0;
    const int major = static_cast<int>(version & 0xFF);
    if (notNt) return major >= 4 ? "WIN95" : "WIN32S";
    return major >= 4 ? "WINNT4" : "WINNT";
}

// The n-th (from 0) row of the key, compared case-blind; null when the key has fewer rows.
CommandUseRow* NthRowOfKey(std::string_view key, int n)
{
    for (CommandUseRow& row : Usage().rows)
        if (EqualsNoCase(row.key, key) && n-- == 0) return &row;
    return nullptr;
}

std::string Upper(std::string text)
{
    for (char& c : text) c = ToUpperChar(c);
    return text;
}

std::string ReadWholeFile(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

void LoadUsageFile()
{
    UsageStatistics& s = Usage().statistics;
    s.path = SettingsFile().dataPath + "/use.kq5";
    s.creationDateLine = kCreationDateKey + Today();
    std::ifstream in(s.path, std::ios::binary);
    if (!in) return;
    // A key that stands on several rows ("Model", "Text") is written once per row in table
    // order, so its n-th line belongs to its n-th row.
    std::map<std::string, int> linesOfKey;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        Trim(key);
        const std::string value = line.substr(equals + 1);
        if (EqualsNoCase(key, "CreationDate")) {
            s.creationDateLine = line;
        } else if (IsReportKey(key)) {
            ReadStatistic(key, value, s);
        } else if (key.size() > 5 && EqualsNoCase(std::string_view(key).substr(0, 5), "COMP_")) {
            const int code = FindComponentTypeByName(std::string_view(key).substr(5));
            if (code >= 1 && code < kUsageComponentTypes)
                s.componentUse[static_cast<std::size_t>(code)] = static_cast<std::uint32_t>(NonNegative(TextToInt(value)));
        } else if (CommandUseRow* row = NthRowOfKey(key, linesOfKey[Upper(key)]++)) {
            row->count = static_cast<std::uint32_t>(NonNegative(TextToInt(value)));
        }
    }
}

void RecordRunStatistics(int levelZeroComponents)
{
    if (Settings().demoRunning || Settings().batchRun) return;
    UsageStatistics& s = Usage().statistics;
    const CircuitDocument* document = CurrentDocument();
    const int analog = document != nullptr ? document->analysisNodeCounts[0] : 0;
    const int digital = document != nullptr ? document->analysisNodeCounts[1] : 0;
    const double runs = s.runs;
    s.avgAnalogNode = (analog + runs * s.avgAnalogNode) / (runs + 1.0);
    s.avgDigitalNode = (digital + runs * s.avgDigitalNode) / (runs + 1.0);
    s.maxAnalogNode = std::max(s.maxAnalogNode, analog);
    s.maxDigitalNode = std::max(s.maxDigitalNode, digital);
    ++s.runs;
    const double compRuns = s.compRuns;
    s.avgComponentLevel0 = (levelZeroComponents + compRuns * s.avgComponentLevel0) / (compRuns + 1.0);
    s.maxComponentLevel0 = std::max(s.maxComponentLevel0, levelZeroComponents);
    ++s.compRuns;
    for (int code = 1; code < kUsageComponentTypes; ++code)
        s.componentUse[static_cast<std::size_t>(code)] += ComponentTypeUseCount(code);
}

std::string DriveReportLines(std::string_view mounts)
{
    static constexpr std::string_view kRemote[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs", "fuse.sshfs", "9p"};
    static constexpr std::string_view kOptical[] = {"iso9660", "udf"};
    std::string out;
    bool remote = false, optical = false;
    std::istringstream in{std::string(mounts)};
    std::string device, point, type;
    std::string rest;
    while (in >> device >> point >> type) {
        std::getline(in, rest);
        for (std::string_view name : kRemote)
            if (type == name && !remote) remote = true, out += "Drive=Remote\n";
        for (std::string_view name : kOptical)
            if (type == name && !optical) optical = true, out += "Drive=CD\n";
    }
    return out;
}

int WriteUsageReport()
{
    UsageStatistics& s = Usage().statistics;
    if (s.path.empty()) return 0;
    std::string text;
    auto add = [&text](const char* format, auto... values) {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, format, values...);
        text += buffer;
        text += '\n';
    };
    const UserAndCompanyNames& names = UserAndCompanyNamesSetting();
    add("Version=Kestrion V %s", kProgramVersionText);
    text += "UserName=" + names.userName + "\n";
    text += "CompanyName=" + names.companyName + "\n";
    text += s.creationDateLine + "\n";
    add("LastDate=%s", Today().c_str());
    add("ExeDate=%s", kProgramBuildDateText);
    const std::uint32_t version = win::GetVersion();
    add("WindowsVersion=%s %d.%d %x", SystemKindName(version).c_str(), static_cast<int>(version & 0xFF),
        static_cast<int>((version >> 8) & 0xFF), version);
    add("Screen=%d %d", win::GetSystemMetrics(0), win::GetSystemMetrics(1));
    add("Processor=%d", kProcessorAmd64);
    win::MEMORYSTATUS memory;
    win::GlobalMemoryStatus(&memory);
    add("RAM=%luKB", static_cast<unsigned long>(memory.dwTotalPhys / 1024));
    add("Language=%.100s", win::GetLocaleInfo(win::LOCALE_USER_DEFAULT, win::LOCALE_SENGLANGUAGE).c_str());
    add("Country=%.100s", win::GetLocaleInfo(win::LOCALE_USER_DEFAULT, win::LOCALE_SENGCOUNTRY).c_str());
    text += DriveReportLines(ReadWholeFile("/proc/mounts"));
    add("Runs=%d", s.runs);
    add("MaxAnalogNode=%d", s.maxAnalogNode);
    add("AvgAnalogNode=%g", s.avgAnalogNode);
    add("MaxDigitalNode=%d", s.maxDigitalNode);
    add("AvgDigitalNode=%g", s.avgDigitalNode);
    add("CompRuns=%d", s.compRuns);
    add("MaxComponentLevel0=%d", s.maxComponentLevel0);
    add("AvgComponentLevel0=%g", s.avgComponentLevel0);
    for (const CommandUseRow& row : Usage().rows)
        if (row.count != 0) add("%s=%u", row.key, row.count);
    for (int code = 1; code < kUsageComponentTypes; ++code) {
        const std::uint32_t count = s.componentUse[static_cast<std::size_t>(code)];
        const ComponentTypeRow* type = FindComponentTypeRow(code);
        if (count != 0 && type != nullptr && type->name[0] != '\0') add("COMP_%s=%u", type->name, count);
    }
    // A failed write keeps the totals of the earlier runs.
    const int status = ReplaceFileBytes(s.path, text);
    s.path.clear();
    return status;
}

}  // namespace kq5
