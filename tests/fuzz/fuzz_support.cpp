#include "fuzz_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/analysis_state.h"
#include "document/stepping_rows.h"
#include "ui/app_state.h"
#include "ui/program_settings.h"
#include "ui/prompt_dialog.h"
#include "document/save_file_dialog.h"
#include "ui/status_text.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "core/expr_compiler.h"
#include "core/expr_math_errors.h"
#include "core/expr_symbols.h"
#include "core/file_units.h"
#include "core/device_record_fields.h"
#include "devices/device_record_types.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/connectivity.h"
#include "netlist/circuit_build.h"
#include "netlist/global_options.h"
#include "netlist/model_library_lookup.h"
#include "netlist/message_reporter_services.h"
#include "netlist/model_statements.h"
#include "document/netlist_state.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_text_pass.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "results/plot_record_flags.h"
#include "results/plot_view_settings.h"
#include "document/component_library.h"
#include "document/editor_services.h"
#include "document/shape_library.h"

namespace kq5::fuzz {
namespace {

std::string gScratch;

// A few models and a subcircuit, so that library look-ups find something.
constexpr const char* kSmallLibrary =
    "* default library of the fuzz targets\n"
    ".MODEL D1N4148 D (IS=2.52N RS=.568 N=1.752)\n"
    ".MODEL Q2N2222 NPN (IS=14.34F BF=255.9 VAF=74.03)\n"
    ".MODEL NMOS1 NMOS (LEVEL=1 VTO=0.7 KP=110U)\n"
    ".SUBCKT BUF IN OUT\nE1 OUT 0 IN 0 1\n.ENDS\n";

}  // namespace

void InitFuzzWorld()
{
    if (!gScratch.empty()) return;
    // In $KQ5_FUZZ_SCRATCH (tools/fuzz.sh empties it after a run, since a crash leaves the
    // folder behind), else under /dev/shm when there is one: the targets write a file per input.
    std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    if (const char* chosen = std::getenv("KQ5_FUZZ_SCRATCH"); chosen != nullptr && *chosen != '\0') {
        base = chosen;
        std::filesystem::create_directories(base);
    }
    std::string pattern = (base / "kq5-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    gScratch = pattern + "/";
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(gScratch, ignored);
    });
    WriteScratchFile("NOM.LIB", kSmallLibrary);
    ::setenv("KQ5DATA", pattern.c_str(), 1);
    // Relative names in inputs resolve inside the scratch folder.
    if (::chdir(pattern.c_str()) != 0) std::abort();
    InstallMessageReporterServices();
    RegisterCircuitDevices();
    ResetFuzzWorld();
}

void ResetFuzzWorld()
{
    // A small screen: a full-size one costs more to make than most inputs take to run, and
    // headless message boxes draw nothing on it.
    win::ResetPlatformForTests(160, 120);
    InitCharClasses();
    FreeNetlistReaderBuild();
    ResetCircuitBuildForTests();
    ResetNetlistReaderForTests();
    ResetNetlistStateForTests();
    ResetModelStateForTests();
    ResetLibraryStateForTests();
    ResetGlobalOptionsForTests();
    ResetSteppingRowsForTests();
    ResetDeviceListsForTests();
    ResetDevicesStateForTests();
    ResetDigitalSimulatorForTests();
    ResetComponentLibraryForTests();
    ResetShapeLibraryForTests();
    ResetSchematicEditorForTests();
    ResetFileUnitsForTests();
    ResetCircuitFileStateForTests();
    ResetConnectivityStateForTests();
    ResetDocumentStateForTests();
    ResetAnalysisStateForTests();
    ResetPlotRecordFlagsForTests();
    ResetPlotViewSettingsForTests();
    ResetStatusTextForTests();
    ResetSaveFileDialogForTests();
    ResetAppStateForTests();
    ClearPromptDialogs();
    SetExpressionNameTable(nullptr);
    SetNodeNameLookup(nullptr);
    ResetMathErrors();
    win::ClearMessageBoxLog();
    Settings().workingDirectory = gScratch;
}

const std::string& ScratchDir() { return gScratch; }

std::string WriteScratchFile(const std::string& name, std::string_view bytes)
{
    const std::string path = gScratch + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace kq5::fuzz

// libFuzzer calls this once before the first input of every target.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kq5::fuzz::InitFuzzWorld();
    return 0;
}
