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
#include "core/text_edit.h"
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

// A start-up failure: the message goes to the terminal, as no window exists yet to show it.
int FatalStartupError(int id, const std::string& argument)
{
    std::fprintf(stderr, "kq5: %s\n", kq5::ComposeErrorText(id, kq5::MakeMessageArgs(argument)).c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace kq5;
    InitCharClasses();
    std::feclearexcept(FE_ALL_EXCEPT);

    // The words as typed, one line again; a word with blanks is quoted so that it stays one.
    std::string line;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (!line.empty()) line += ' ';
        line += word.find(' ') != std::string::npos ? "\"" + word + "\"" : word;
    }
    Settings().programDirectory = ExecutableDirectory(argc > 0 ? argv[0] : nullptr);
    std::error_code error;
    Settings().workingDirectory = WithSeparator(std::filesystem::current_path(error).string());
    // "/ROOT:" names the data root of the settings file and the libraries (line.root); their
    // readers come with the application's start-up.
    if (const std::size_t root = FindText(line, "/ROOT:"); root != std::string::npos) {
        std::size_t end = root;
        while (end < line.size() && line[end] != ' ') ++end;
        line.erase(root, end - root);
    }
    std::string commandFile = TakeCommandLineArg(line);
    if (commandFile.empty() || commandFile[0] != '@') commandFile.clear();
    BatchRunState& batch = BatchRun();
    if (!commandFile.empty()) {
        commandFile.erase(0, 1);
        if (TakeSwitch(line, "/PC") >= 0) batch.printCircuit = true;
        if (TakeSwitch(line, "/PA") >= 0) batch.printAnalysis = true;
        if (TakeSwitchChar(line, 'P') >= 0) batch.printCircuit = batch.printAnalysis = true;
        if (TakeSwitchChar(line, 'S') >= 0)
            batch.flags = kBatchSave;
        else if (TakeSwitchChar(line, 'R') >= 0)
            batch.flags = kBatchRetrieve;
        else
            batch.flags = kBatchNormal;
    } else {
        while (!TakeCommandLineArg(line).empty()) {
        }
    }
    if (line.find('/') != std::string::npos) return FatalStartupError(kMsgCommandLineError, line);

    RegisterCircuitDeviceRecordTypes();
    ApplyDeviceListSizes();
    InitModelTypeDefaults();
    InstallAnalysisKindHandlers();

    if (commandFile.empty()) {
        // The frame window and the files to open belong to the application's start-up.
        std::printf("Kestrion V Version 2.1.2\n");
        return 0;
    }

    win::PlatformOptions options;
    options.headless = true;
    win::InitPlatform(options);
    batch.commandFile = commandFile;
    int status = StartBatchRun();
    if (status != 0) {
        win::ShutdownPlatform();
        return FatalStartupError(status, batch.commandFile);
    }
    RunBatchFile();
    win::ShutdownPlatform();
    return 0;
}
