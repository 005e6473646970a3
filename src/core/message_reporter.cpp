#include "core/message_reporter.h"

#include <cstdlib>
#include <optional>

#include "core/batch_log.h"
#include "core/error_context.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "platform/string_table.h"
#include "platform/message_box.h"

namespace kq5 {

namespace {

constexpr int kNoMessageId = -1;
constexpr int kProductNameText = 5351;

const MessageReporterServicesState& Services() { return MessageReporterServices(); }

WindowRecord* FrameOwner() {
    const auto& frame = Services().frameRecord;
    return frame ? frame() : nullptr;
}

bool IsSilentId(int id) { return id == 0 || id == kMsgAlreadyReported || id == kMsgStoppedByUser; }

void CutTo(std::string& text, std::size_t size) {
    if (text.size() > size) text.resize(size);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// A text of the form "Error(<id>)... text" or "Warning(<id>)... text" carries its own id: the
// id is taken and the text becomes a marked one.
void TakeEmbeddedId(std::string& message, int& id) {
    char marker = 0;
    std::size_t open = 0;
    if (StartsWithNoCase(message, "Error(")) {
        marker = 'E';
        open = 6;
    } else if (StartsWithNoCase(message, "Warning(")) {
        marker = 'W';
        open = 8;
    }
    if (!marker) return;
    const std::size_t close = message.find(')', open);
    if (close == std::string::npos) return;
    id = std::atoi(message.substr(open, close - open).c_str());
    std::size_t rest = close + 1;
    while (rest < message.size() && (message[rest] == '.' || message[rest] == ' ')) ++rest;
    message = std::string("%") + marker + message.substr(rest);
}

// "<value>" or its first 60 characters and "...".
std::string ShownValue(std::string_view value) {
    if (value.size() <= kContextValueShown) return std::string(value);
    return std::string(value.substr(0, kContextValueShown)) + "...";
}

// Everything the letters of a spec took.
struct SpecArguments {
    WindowRecord* owner = nullptr;
    win::HWND dialog = nullptr;
    int id = kNoMessageId;
    std::optional<std::string> format;
    int scope = -1;
    const SchematicItem* part = nullptr;
    const CircuitTextObject* line = nullptr;
    std::optional<std::string> text;
    std::vector<std::pair<std::string, std::string>> pairs;
    std::optional<std::string> caption;
    std::optional<unsigned> style;
    std::span<const MessageArg> placeholders;
};

template <class T>
T ArgOr(const MessageArg* arg, T fallback) {
    if (!arg) return fallback;
    if (const auto* v = std::get_if<T>(&arg->value)) return *v;
    return fallback;
}

std::optional<std::string> TextArg(const MessageArg* arg) {
    if (arg && arg->Text()) return *arg->Text();
    return std::nullopt;
}

std::optional<long long> IntegerArg(const MessageArg* arg) {
    long long v = 0;
    if (arg && arg->Integer(v)) return v;
    return std::nullopt;
}

// Each letter takes the next argument whatever its type; an argument of the wrong type counts as
// not given.
SpecArguments ReadSpec(std::string_view spec, std::span<const MessageArg> args) {
    SpecArguments out;
    std::size_t next = 0;
    auto take = [&]() -> const MessageArg* { return next < args.size() ? &args[next++] : nullptr; };
    for (char letter : spec) {
        switch (letter) {
            case 'W': out.owner = ArgOr<WindowRecord*>(take(), nullptr); break;
            case 'D': out.dialog = ArgOr<win::HWND>(take(), nullptr); break;
            case 'E': out.id = static_cast<int>(IntegerArg(take()).value_or(kNoMessageId)); break;
            case 'F': out.format = TextArg(take()); break;
            case 'L': out.scope = static_cast<int>(IntegerArg(take()).value_or(-1)); break;
            case 'N':
                out.part = ArgOr<const SchematicItem*>(take(), nullptr);
                if (out.part && Services().partScope) out.scope = Services().partScope(out.part);
                break;
            case 'T':
                out.line = ArgOr<const CircuitTextObject*>(take(), nullptr);
                if (out.line) {
                    if (Services().lineScope) out.scope = Services().lineScope(out.line);
                    out.text = Services().lineText ? Services().lineText(out.line) : std::string();
                }
                break;
            case 't': out.text = TextArg(take()); break;
            case 'M': {
                std::optional<std::string> label = TextArg(take());
                std::optional<std::string> value = TextArg(take());
                if (out.pairs.size() < kMessageContextPairsMax)
                    out.pairs.emplace_back(label.value_or(std::string()), value.value_or(std::string()));
                break;
            }
            case 'B': out.caption = TextArg(take()); break;
            case 'S':
                if (auto style = IntegerArg(take())) out.style = static_cast<unsigned>(*style);
                break;
            default: break;
        }
    }
    out.placeholders = args.subspan(std::min(next, args.size()));
    return out;
}

// Builds caption, style, beep and body around a message that is already final text.
void ComposeAround(MessageContext& context, std::string message, int id, const SchematicItem* part,
                   const std::string* text, int scope) {
    TakeEmbeddedId(message, id);
    context.style = 0;
    context.beepType = 0;
    context.messageId = id;
    context.caption.clear();
    switch (MessageMarker(message)) {
        case 'E':
            context.caption = StrPrintf("Error %d", id);
            context.style = kErrorStyle;
            message.erase(0, 2);
            break;
        case 'W':
            context.caption = StrPrintf("Warning %d", id);
            context.style = kWarningStyle;
            message.erase(0, 2);
            break;
        default: break;
    }
    if (context.style & win::MB_ICONHAND) {
        context.beepType = win::MB_ICONHAND;
    } else if (context.style & win::MB_ICONQUESTION) {
        context.beepType = win::MB_ICONEXCLAMATION;
    }
    CutTo(message, kMessageTextMax);

    const std::optional<MessageScope> scopeEntry =
        Services().findScope ? Services().findScope(scope) : std::nullopt;
    std::string body = std::move(message);
    const std::optional<std::string> partName =
        part && Services().partName ? Services().partName(part) : std::nullopt;
    if (partName) {
        body += "\n\nPart:\t";
        if (scopeEntry && !scopeEntry->path.empty()) {
            body += scopeEntry->path;
            body += '.';
        }
        body += *partName;
    } else if (text) {
        body += "\n\nText:\t";
        body += ShownValue(*text);
    } else {
        body += '\n';
    }
    if (scopeEntry) {
        body += "\nFile:\t";
        body += scopeEntry->fileName;
    }
    for (const auto& [label, value] : context.contextPairs) {
        body += '\n';
        body += label;
        body += '\t';
        body += ShownValue(value);
    }
    CutTo(body, kMessageBodyMax);
    context.body = std::move(body);
}

// The temporary owner record of a dialog, freed when the report ends.
class DialogOwner {
  public:
    explicit DialogOwner(win::HWND dialog) {
        // Not attached to the dialog: the dialog keeps whatever record it has of its own.
        if (dialog && Services().newDialogRecord) record_ = Services().newDialogRecord(dialog);
    }
    ~DialogOwner() {
        if (record_ && Services().freeDialogRecord) Services().freeDialogRecord(record_);
    }
    DialogOwner(const DialogOwner&) = delete;
    DialogOwner& operator=(const DialogOwner&) = delete;
    WindowRecord* Record() const { return record_; }

  private:
    WindowRecord* record_ = nullptr;
};

}  // namespace

void ComposeMessageText(MessageContext& context, int id, const SchematicItem* part, const std::string* text,
                        int scope, std::span<const MessageArg> placeholders) {
    if (!context.owner) context.owner = FrameOwner();
    std::string message = id != kNoMessageId ? ComposeErrorText(id, placeholders) : context.body;
    ComposeAround(context, std::move(message), id, part, text, scope);
}

int ReportMessageArgs(std::string_view spec, std::span<const MessageArg> args) {
    SpecArguments given = ReadSpec(spec, args);
    if (IsSilentId(given.id)) return 0;
    DialogOwner dialogOwner(given.dialog);

    MessageContext context;
    const auto& isLive = Services().isLiveRecord;
    context.owner = given.owner && isLive && isLive(given.owner) ? given.owner : nullptr;
    if (!context.owner) context.owner = dialogOwner.Record();
    if (!context.owner) context.owner = FrameOwner();
    context.contextPairs = std::move(given.pairs);

    const std::string* text = given.text ? &*given.text : nullptr;
    if (given.format) {
        // The format is the whole message; it is formatted here once and never again.
        std::string message = FormatMarkedText(*given.format, given.placeholders);
        CutTo(message, kMessageBodyMax);
        ComposeAround(context, std::move(message), given.id, given.part, text, given.scope);
    } else {
        ComposeMessageText(context, given.id, given.part, text, given.scope, given.placeholders);
    }
    if (given.style) context.style = *given.style;
    if (context.caption.empty()) {
        context.caption = LoadResString(kProductNameText);
        CutTo(context.caption, kProductCaptionMax);
    }
    if (given.caption) {
        context.caption = *given.caption;
        CutTo(context.caption, kMessageCaptionMax);
    }

    const int button = ShowMessage(context);

    if (!StartsWithNoCase(context.caption, "Warning")) {
        if (given.line && !given.part) {
            if (Services().showLineLocation) Services().showLineLocation(given.line);
        } else if (Services().showPartLocation) {
            Services().showPartLocation(given.part);
        }
    }
    return button;
}

int ShowMessage(const MessageContext& context) {
    if (BatchErrorLogOpen()) {
        if (const auto& log = MessageLog().logBatchError) log(context.owner, context.caption, context.body);
        return 0;
    }
    if (context.beepType && Services().soundOn && Services().soundOn()) win::MessageBeep(context.beepType);
    if (Services().showBox) return Services().showBox(context);
    return win::MessageBox(nullptr, context.body.c_str(), context.caption.c_str(), context.style);
}

MessageReporterServicesState& MessageReporterServices() {
    static MessageReporterServicesState services;
    return services;
}

std::string LoadMessageTextPrefix(int id, char marker) {
    return StrPrintf(marker == 'W' ? "Warning(%d)..." : "Error(%d)...", id);
}

std::string LoadMessageText(int id) {
    std::string text = LoadResString(id);
    if (const char marker = MessageMarker(text)) return LoadMessageTextPrefix(id, marker) + text.substr(2);
    return text;
}

std::string LoadResString(int id) {
    const auto text = FindStringTableText(id);
    return text ? std::string(*text) : std::string();
}

}  // namespace kq5
