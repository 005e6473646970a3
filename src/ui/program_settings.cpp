#include "ui/program_settings.h"

#include "ui/app_state.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "core/timers.h"
#include "platform/message_box.h"

namespace kq5 {

ProgramSettings& Settings() { return App().settings; }

std::uint32_t OptionFlags() { return App().settings.operationalOptions; }

std::string FormatDateTimeStamp(bool withLabels)
{
    return FormatDateTimeStamp(withLabels, OptionFlags());
}

std::uint32_t PreferencesOptionWord() { return App().settings.operationalOptions; }

void BeepIfEnabled() {
    if (OptionFlags() & kOptionSound) win::MessageBeep(0);
}

int MessageBoxDialog(const MessageContext& context) {
    const WindowRecord* owner = context.owner ? context.owner : FrameRecord();
    return win::MessageBox(owner ? owner->window : nullptr, context.body.c_str(), context.caption.c_str(),
                           context.style);
}

}  // namespace kq5
