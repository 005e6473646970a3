#pragma once
// SPICE netlist export: the circuit of a circuit window, built in export mode, written as a
// SPICE text netlist in one of three dialects (SPICE 2G, PSpice, Spice3) for other simulators.
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

enum SpiceDialect : int {
    kSpiceDialect2G = 100,
    kSpiceDialectPspice = 101,
    kSpiceDialectSpice3 = 102,
};

// Analysis mask bits of the export.
inline constexpr unsigned kExportTransient = 0x1;
inline constexpr unsigned kExportAc = 0x2;
inline constexpr unsigned kExportDc = 0x4;

// The choices of the ToSpice dialog, kept for the program's run (never saved).
struct SpiceExportSettings {
    SpiceDialect dialect = kSpiceDialectPspice;
    unsigned analysisMask = kExportTransient;
    bool expandSubcircuits = false;
};

SpiceExportSettings& SpiceExport();
void ResetSpiceExportForTests();

// The three ways the program names a dialect: the dialog's id, the option table's dialect
// mask and the model parameters' dialect bits (a Spice3 export also keeps the PSpice ones).
struct SpiceDialectIds {
    SpiceDialect dialect;
    std::uint16_t optionMask;
    std::uint8_t paramBits;
};
SpiceDialectIds SpiceDialectIdsOf(SpiceDialect dialect);
bool ParamExistsInDialect(std::uint8_t paramFlags, SpiceDialect dialect);

// "TRANSIENT ANALYSIS", "AC ANALYSIS", "DC ANALYSIS" or "MULTIPLE ANALYSES".
const char* SpiceAnalysisTitle(unsigned analysisMask);

// Writes the netlist of the window's circuit (already prepared in export mode) to path in the
// dialect of the settings; reports its own errors. 0 or the message id.
int WriteSpiceNetlist(WindowRecord* record, unsigned analysisMask, const std::string& path, const std::string& title);

// Builds the window's circuit in export mode, writes it and marks the document for a fresh
// build; the whole of the command after its dialogs. 0 or the message id (a failed build writes
// no file).
int ExportSpiceNetlist(WindowRecord* record, const std::string& path);

// The ToSpice dialog (template 17105) over the settings: 1 after OK, 0 after Cancel.
int RunSpiceExportDialog(win::HWND parent);

// Command 17105: the ToSpice dialog, the file name, the export. Cancel or an empty name writes
// nothing.
int ExportSpiceNetlistCommand(WindowRecord* record);

}  // namespace kq5
