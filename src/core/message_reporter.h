#pragma once
// The message reporter: every error, warning, question and notice of the program is a
// string-table text shown through ReportMessage.
//
// A call names what follows the message spec, letter by letter, in the letters' order:
//   W WindowRecord*   owner of the box (default: the frame's record)
//   D win::HWND       a dialog that owns the box through a temporary record
//   E int             the message id
//   F const char*     a format given directly, in place of the message text
//   L int             subcircuit scope whose path and file the context lines show (-1 none)
//   N SchematicItem*  the part the message concerns (PART name, scope; errors point at it)
//   T CircuitTextObject*  the text line the message concerns (shown, scope; errors point at it)
//   t text            a context text shown on the Text line
//   M text, text      a context line of label and value (at most 10)
//   B text            the caption
//   S unsigned        the message-box style, in place of the one the message's kind gives
// Every argument after those is a placeholder argument of the message text or the F format.
//
//     ReportMessage("WNE", record, item, 10842, nodeName);
//
// A text beginning "%E" is an error (caption "Error <id>", stop icon), one beginning "%W" a
// warning (caption "Warning <id>", exclamation icon); the marker is not shown. Ids 0, 15055
// (already reported) and 15056 (stopped by the user) show nothing. Every report whose caption
// does not begin with "Warning" marks the current circuit's build as failed.
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/message_args.h"

namespace kq5 {

struct WindowRecord;
struct SchematicItem;
struct CircuitTextObject;

constexpr int kMsgInsufficientMemory = 15002;
constexpr int kMsgAlreadyReported = 15055;
constexpr int kMsgStoppedByUser = 15056;

constexpr std::size_t kMessageBodyMax = 1370;
constexpr std::size_t kMessageTextMax = 1369;
constexpr std::size_t kMessageCaptionMax = 29;
constexpr std::size_t kProductCaptionMax = 30;
constexpr std::size_t kMessageContextPairsMax = 10;
constexpr std::size_t kContextValueShown = 60;

// Message-box styles the kinds give, and the beeps.
constexpr unsigned kErrorStyle = 0x10;
constexpr unsigned kWarningStyle = 0x1030;

// One report: built by ComposeMessageText, shown by ShowMessage.
struct MessageContext {
    std::string caption;
    std::string body;
    unsigned style = 0;
    unsigned beepType = 0;
    int messageId = 0;
    WindowRecord* owner = nullptr;
    std::vector<std::pair<std::string, std::string>> contextPairs;  // the M lines
};

// A subcircuit scope as the context lines show it.
struct MessageScope {
    std::string path;      // instance path, joined to a part name by "."
    std::string fileName;  // the file the scope's text came from
};

// What the reporter needs from the layers above it: the window records, the parts and text
// lines a message concerns, the subcircuit scopes, the sound option, the message box and the
// place of an error. InstallMessageReporterServices (netlist/message_reporter_services.h) fills
// it at start-up; an empty member gives no owner record, no part, text line or scope context,
// no beep, a plain box without an owner window and no error location.
struct MessageReporterServicesState {
    // The frame's record, the owner of a box no caller names.
    std::function<WindowRecord*()> frameRecord;
    // True while the record is one the program has made and not yet freed.
    std::function<bool(const WindowRecord* record)> isLiveRecord;
    // A temporary owner record of a dialog window, and freeing it when the report ends.
    std::function<WindowRecord*(win::HWND dialog)> newDialogRecord;
    std::function<void(WindowRecord*& record)> freeDialogRecord;
    // The scope and the PART name of a part.
    std::function<int(const SchematicItem* part)> partScope;
    std::function<std::optional<std::string>(const SchematicItem* part)> partName;
    // The scope and the text of a text line.
    std::function<int(const CircuitTextObject* line)> lineScope;
    std::function<std::string(const CircuitTextObject* line)> lineText;
    // The subcircuit scope of an index; none for -1 or an index without a scope.
    std::function<std::optional<MessageScope>(int scope)> findScope;
    // True when the sound option is on.
    std::function<bool()> soundOn;
    // Shows the box; the button chosen.
    std::function<int(const MessageContext& context)> showBox;
    // Shows the part or text line as the place of the error and marks the current circuit's
    // build as failed; a null part shows the SPICE line being read.
    std::function<void(const SchematicItem* part)> showPartLocation;
    std::function<void(const CircuitTextObject* line)> showLineLocation;
};

MessageReporterServicesState& MessageReporterServices();

// Shows one message; the button that closed the box, or 0 when nothing was shown.
int ReportMessageArgs(std::string_view spec, std::span<const MessageArg> args);

template <class... Args>
int ReportMessage(const char* spec, Args&&... args) {
    const MessageArgs packed = MakeMessageArgs(std::forward<Args>(args)...);
    return ReportMessageArgs(spec ? spec : "", packed);
}

// A message about the circuit as a whole: spec "WLE" with scope 0.
template <class... Args>
int ReportLineMessage(WindowRecord* record, int id, Args&&... placeholders) {
    return ReportMessage("WLE", record, 0, id, std::forward<Args>(placeholders)...);
}

// Fills caption, body, style, beep type and id of the context for the message id (-1: the
// body already holds the message), the part, the context text and the scope index. The
// message text is formatted exactly once, with the placeholder arguments.
void ComposeMessageText(MessageContext& context, int id, const SchematicItem* part, const std::string* text,
                        int scope, std::span<const MessageArg> placeholders);

// Writes the message to the batch error log when one is open (result 0); otherwise beeps when
// sound is on and shows the box, returning its button.
int ShowMessage(const MessageContext& context);

// The string-table text of an id; an error text reads "Error(<id>)..." and a warning text
// "Warning(<id>)..." in front of the text without its marker. Empty for an unknown id.
std::string LoadMessageText(int id);
// The "Error(<id>)..." or "Warning(<id>)..." front of a text with that marker ('E' or 'W').
std::string LoadMessageTextPrefix(int id, char marker);
// The plain string-table text of an id, empty when there is none.
std::string LoadResString(int id);

}  // namespace kq5
