// Start-up of the program: the initialisation steps that exist, then the command line. A command
// file ("kq5 @jobs.txt") runs as a batch without a window and ends the program.
#include <cfenv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "analog/analysis_start.h"
#include "analog/batch_run.h"
#include "app/error_context.h"
#include "app/program_settings.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "devices/device_record_types.h"
#include "netlist/model_types.h"
#include "platform/backend.h"

namespace {

std::string WithSeparator(std::string directory)
{
    if (!directory.empty() && directory.back() != '/') directory += '/';
    return directory;
}

std::string ExecutableDirectory(const char* argv0)
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) exe = std::filesystem::absolute(argv0 ? argv0 : ".", error);
    return WithSeparator(exe.parent_path().string());
}

std::string WithoutMarker(const std::string& text)
{
    return text.size() >= 2 && text[0] == '%' && (text[1] == 'E' || text[1] == 'W') ? text.substr(2) : text;
}

// A start-up failure: the message goes to the terminal, as no window exists yet to show it.
int FatalStartupError(int id, const std::string& argument)
{
    std::fprintf(stderr, "kq5: %s\n", WithoutMarker(kq5::ComposeErrorText(id, kq5::MakeMessageArgs(argument))).c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace kq5;
    InitCharClasses();
    std::feclearexcept(FE_ALL_EXCEPT);

    const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    Settings().programDirectory = ExecutableDirectory(argc > 0 ? argv[0] : nullptr);
    std::error_code error;
    Settings().workingDirectory = WithSeparator(std::filesystem::current_path(error).string());
    // "/ROOT:" names the data root of the settings file and the libraries (line.root); their
    // readers come with the application's start-up.
    if (!line.leftover.empty()) return FatalStartupError(kMsgCommandLineError, line.leftover);

    RegisterCircuitDeviceRecordTypes();
    ApplyDeviceListSizes();
    InitModelTypeDefaults();
    InstallAnalysisKindHandlers();

    if (line.commandFile.empty() && line.batchLine.empty()) {
        // The frame window and the files to open belong to the application's start-up.
        std::printf("Kestrion V Version 2.1.2\n");
        return 0;
    }

    win::PlatformOptions options;
    options.headless = true;
    win::InitPlatform(options);
    BatchRunState& batch = BatchRun();
    batch.flags = line.batchFlags;
    batch.printCircuit = line.printCircuit;
    batch.printAnalysis = line.printAnalysis;
    batch.commandFile = line.commandFile;
    batch.singleLine = line.batchLine;
    int status = StartBatchRun();
    if (status != 0) {
        win::ShutdownPlatform();
        return FatalStartupError(status, batch.commandFile);
    }
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
