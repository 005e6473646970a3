#include "platform/winhelp.h"

#include "platform/module_state.h"

namespace win {

namespace {

bool CarriesText(UINT command) { return command == HELP_KEY || command == HELP_PARTIALKEY || command == HELP_COMMAND; }

}  // namespace

HelpState& Help() { return ModuleState<HelpState>(); }

void ResetHelpStateForTests() { ResetModuleState<HelpState>(); }

BOOL WinHelp(HWND owner, const char* helpFile, UINT command, ULONG_PTR data) {
    HelpRequest r;
    r.owner = owner;
    if (helpFile != nullptr) r.helpFile = helpFile;
    r.command = command;
    if (CarriesText(command)) {
        if (data != 0) r.keyword = reinterpret_cast<const char*>(data);
    } else {
        r.data = data;
    }
    Help().requests.push_back(std::move(r));
    return TRUE;
}

}  // namespace win
