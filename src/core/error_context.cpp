#include "core/error_context.h"

#include <cstring>

#include "core/format.h"
#include "core/message_reporter.h"
#include "platform/string_table.h"

namespace kq5 {

namespace {

constexpr int kPendingTextMessage = 15060;
constexpr int kFirstContextMessage = 15001;
constexpr int kLastContextMessage = 15051;
constexpr int kRuntimeErrorBase = 16000;
// Runtime error numbers that have a text of their own.
constexpr int kRuntimeErrorCount = 134;

// The texts wait here, beside the composer that takes them, until the next reported message.
PendingErrorTexts& Pending() {
    static PendingErrorTexts texts;
    return texts;
}

std::string TableText(int id) {
    const auto text = FindStringTableText(id);
    return text ? std::string(*text) : std::string();
}

}  // namespace

void SetErrorContext(std::string_view text, std::string_view modeText) {
    PendingErrorTexts& pending = Pending();
    pending.first.assign(text);
    pending.second.assign(modeText);
}

void SetPendingErrorText(std::string_view text) { Pending().first.assign(text); }

void SetPendingErrorTextArgs(int id, std::span<const MessageArg> args) {
    const std::string text = TableText(id);
    const char marker = MessageMarker(text);
    std::string composed = FormatMessageArgs(marker ? std::string_view(text).substr(2) : std::string_view(text), args);
    if (marker) composed = LoadMessageTextPrefix(id, marker) + composed;
    Pending().first = std::move(composed);
}

void FreePendingErrorTexts() {
    PendingErrorTexts& pending = Pending();
    pending.first.clear();
    pending.second.clear();
}

const PendingErrorTexts& PendingErrors() { return Pending(); }

std::string ComposeErrorText(int id, std::span<const MessageArg> args) {
    PendingErrorTexts& pending = Pending();
    if (id == kPendingTextMessage) {
        std::string text = std::move(pending.first);
        pending.first.clear();
        return text;
    }
    if (id >= kFirstContextMessage && id <= kLastContextMessage) {
        // A caller that names its subject itself wins over a context left pending by some
        // earlier file open.
        std::string text;
        if (!args.empty()) {
            text = FormatMarkedText(TableText(id), args);
        } else {
            const MessageArgs context = MakeMessageArgs(pending.first, pending.second);
            text = FormatMarkedText(TableText(id), context);
        }
        FreePendingErrorTexts();
        return text;
    }
    if (id > kRuntimeErrorBase && id < kRuntimeErrorBase + kRuntimeErrorCount) {
        std::string text = StrPrintf("Error(%d) %s", id, std::strerror(id - kRuntimeErrorBase));
        if (id == 16001 || id == 16006 || id == 16011) {
            text += ' ';
            text += pending.first;
        }
        return text;
    }
    return FormatMarkedText(TableText(id), args);
}

}  // namespace kq5
