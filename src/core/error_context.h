#pragma once
// Pending error context: the code that fails may leave a text (a file name, a line) that the
// next reported message includes, and the composer that turns a message id into its text.
#include <span>
#include <string>
#include <string_view>

#include "core/message_args.h"

namespace kq5 {

struct PendingErrorTexts {
    std::string first;
    std::string second;
};

// Replace the first pending text; the mode text, when given, becomes the second.
void SetErrorContext(std::string_view text, std::string_view modeText = {});
void SetPendingErrorText(std::string_view text);
// Formats the string-table text of the id with the arguments and keeps it as the first pending
// text. An error or warning text keeps its id in the "Error(%d)..." form, so the message that
// later shows it (15060) gets the right caption.
void SetPendingErrorTextArgs(int id, std::span<const MessageArg> args);
template <class... Args>
void SetPendingErrorTextFmt(int id, Args&&... args) {
    const MessageArgs packed = MakeMessageArgs(std::forward<Args>(args)...);
    SetPendingErrorTextArgs(id, packed);
}
void FreePendingErrorTexts();
const PendingErrorTexts& PendingErrors();

// The text to show for a message id, formatted once and final (a leading "%E"/"%W" marker is
// kept): for 15060 the first pending text; for 15001 to 15051 the table text with the caller's
// arguments, or when there are none with the two pending texts (both pending texts are then
// cleared); for 16000 plus a runtime error number "Error(%d) %s" with the runtime's text (16001,
// 16006 and 16011 add the pending file name); otherwise the table text with the arguments.
std::string ComposeErrorText(int id, std::span<const MessageArg> args = {});

}  // namespace kq5
