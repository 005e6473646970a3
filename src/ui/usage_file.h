#pragma once
// Usage statistics: how often each command is used and what the circuits built for analysis look
// like, kept over every run of the program in the usage file "use.kq5" over the data path, which
// also carries a short report of the machine the program last ran on. Nothing in the program
// reads the report lines back. The file itself is read and written in document/usage_report.h.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kq5 {

// The build date the program shows in its statistics and writes into the usage report.
inline constexpr const char* kProgramBuildDateText = "May 20 1999";

struct CommandUseRow {
    std::uint32_t id;   // the command counted; 0 for a row no command reaches
    const char* key;    // its key in the usage file
    std::uint32_t count;
};

constexpr int kCommandUseRowCount = 192;
constexpr int kUsageComponentTypes = 136;  // type codes 1 to 135 are counted

struct UsageStatistics {
    int runs = 0;
    int compRuns = 0;
    int maxAnalogNode = 0;
    int maxDigitalNode = 0;
    double avgAnalogNode = 0.0;
    double avgDigitalNode = 0.0;
    int maxComponentLevel0 = 0;
    double avgComponentLevel0 = 0.0;
    std::array<std::uint32_t, kUsageComponentTypes> componentUse{};
    std::string path;              // the usage file, kept from start-up for shutdown
    std::string creationDateLine;  // "CreationDate=" and the date of the first run
    int componentDefinitionCount = 0;  // the component menu's length: ids 42000 up to it count
};

struct UsageState {
    std::array<CommandUseRow, kCommandUseRowCount> rows;
    UsageStatistics statistics;
};

UsageState& Usage();
void ResetUsageForTests();

// Counts one use of a command (not while a demo plays or a command-line job runs). The numbered
// families count under their first id; an id no row has is ignored.
void CountCommandUse(std::uint32_t id);
// The count of the first row of the id or the key (case-blind); 0 when there is none.
std::uint32_t CommandUseCount(std::uint32_t id);
std::uint32_t CommandUseCountOfKey(std::string_view key, int occurrence = 1);

}  // namespace kq5
