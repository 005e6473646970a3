// TEMPORARY stand-ins for the functions of the settings, menus and bars, and dialogs branches;
// this file goes at the merge.
#include "app/pending_seams.h"

#include "app/command_routing.h"

namespace kq5 {

void RunFontCommand(WindowRecord*) { WarnNotAvailable(17452); }



}  // namespace kq5
