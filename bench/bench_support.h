#pragma once
// What the benchmarks that time whole batch jobs share: CPU time, the program set up as the
// batch run finds it, one run of a command file, and a whole program run as a child process
// (its CPU time and peak memory).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cfenv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

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

struct ChildRun {
    double cpu = 0.0;   // user + system seconds of the child
    double wall = 0.0;
    long peakKb = 0;    // its peak resident memory
    int status = -1;    // its exit status; -1 when it could not run or was killed
};

// Runs command (the program's path first) in dir with its standard output and error into
// outFile (a program name without a directory is looked up in PATH); the CPU seconds and peak
// memory of that child alone. The child is started through bench_run_child (built beside the
// benchmarks): a child forked from this process would count this process's memory as its own.
// The wall time includes that small program's start.
inline ChildRun RunChild(const std::vector<std::string>& command, const std::filesystem::path& dir,
                         const std::filesystem::path& outFile)
{
    ChildRun r;
    std::error_code error;
    const std::filesystem::path launcher =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "bench_run_child";
    if (error || access(launcher.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "no program at %s: build the benchmarks' bench_run_child\n", launcher.c_str());
        return r;
    }
    std::filesystem::path usageFile = outFile;
    usageFile += ".usage";
    std::filesystem::remove(usageFile, error);
    std::fflush(stdout);  // the child must not write this process's pending output again
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return r;
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
            close(out);
        }
        std::vector<std::string> words = {launcher.string(), usageFile.string()};
        words.insert(words.end(), command.begin(), command.end());
        std::vector<char*> args;
        for (const std::string& word : words) args.push_back(const_cast<char*>(word.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return r;
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long long userMicroseconds = 0, systemMicroseconds = 0;
    std::FILE* usage = std::fopen(usageFile.c_str(), "r");
    if (!usage) return r;
    const int fields = std::fscanf(usage, "%lld %lld %ld %d", &userMicroseconds, &systemMicroseconds, &r.peakKb,
                                 &r.status);
    std::fclose(usage);
    if (fields != 4) {
        r.status = -1;
        return r;
    }
    r.cpu = static_cast<double>(userMicroseconds + systemMicroseconds) * 1e-6;
    return r;
}

}  // namespace kq5::bench
