#pragma once
// What the benchmarks that time whole batch jobs share: CPU time, the program set up as the
// batch run finds it, and one run of a command file.
#include <cfenv>
#include <ctime>
#include <filesystem>

#include "analog/batch_run.h"
#include "analyses/analysis_install.h"
#include "analog/transient_run_services.h"
#include "ui/color_table.h"
#include "document/preferences.h"
#include "ui/program_settings.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "devices/device_record_types.h"
#include "netlist/message_reporter_services.h"
#include "netlist/model_types.h"
#include "netlist/text_window_lines.h"
#include "platform/backend.h"
#include "schematic/schematic_view.h"

namespace kq5::bench {

// CPU seconds of the process: the machine is shared, and wall time says more about the others.
inline double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// display: an SDL2 window when a display is there, else the headless surface.
inline void InitProgram(bool display)
{
    // The services the program installs at start, in its order.
    InitCharClasses();
    InstallMessageReporterServices();
    InstallTextWindowFiles();
    std::feclearexcept(FE_ALL_EXCEPT);
    RegisterCircuitDevices();
    RegisterCircuitDeviceRecordTypes();
    ApplyDeviceListSizes();
    InitModelTypeDefaults();
    InstallAnalysisKindHandlers();
    InstallSchematicEditorHooks();
    win::PlatformOptions options;
    options.headless = !display;
    // Without a display the job runs as a batch run of the program does: on a screen nobody sees.
    options.unseen = !display;
    options.width = 1024;
    options.height = 768;
    win::InitPlatform(options);
    SetPreferenceDefaults();
    InitColorTable();
}

// Runs dir/jobs.txt as a batch command file; the CPU seconds it took. The run services hooked
// for the job are reset afterwards.
inline double RunBatchJobs(const std::filesystem::path& dir)
{
    Settings().workingDirectory = dir.string() + "/";
    BatchRunState& batch = BatchRun();
    batch.flags = kBatchNormal;
    batch.commandFile = (dir / "jobs.txt").string();
    const double start = CpuSeconds();
    if (StartBatchRun() == 0) RunBatchFile();
    const double cpu = CpuSeconds() - start;
    ResetRunServicesForTests();
    return cpu;
}

}  // namespace kq5::bench
