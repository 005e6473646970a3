#pragma once
// Help requests. There is no viewer for the program's Windows help file here: WinHelp only logs
// what was asked (the program's own help text window does not depend on it). CTL3D does not
// exist either: LoadLibrary finds no "ctl3d32.dll", so the program never turns it on.
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace win {

constexpr UINT HELP_CONTEXT = 0x0001;
constexpr UINT HELP_QUIT = 0x0002;
constexpr UINT HELP_CONTENTS = 0x0003;
constexpr UINT HELP_HELPONHELP = 0x0004;
constexpr UINT HELP_SETCONTENTS = 0x0005;
constexpr UINT HELP_CONTEXTPOPUP = 0x0008;
constexpr UINT HELP_FORCEFILE = 0x0009;
constexpr UINT HELP_FINDER = 0x000B;
constexpr UINT HELP_KEY = 0x0101;
constexpr UINT HELP_COMMAND = 0x0102;
constexpr UINT HELP_PARTIALKEY = 0x0105;
constexpr UINT HELP_MULTIKEY = 0x0201;

struct HelpRequest {
    HWND owner = nullptr;
    std::string helpFile;
    UINT command = 0;
    ULONG_PTR data = 0;    // the context id or number the command carries
    std::string keyword;   // HELP_KEY, HELP_PARTIALKEY, HELP_COMMAND: the text data pointed at
};

// Logs the request and succeeds.
BOOL WinHelp(HWND owner, const char* helpFile, UINT command, ULONG_PTR data);

struct HelpState {
    std::vector<HelpRequest> requests;
};
HelpState& Help();
void ResetHelpStateForTests();

}  // namespace win
