#include "netlist/circuit_growth.h"

#include <string>
#include <vector>

#include "ui/status_text.h"
#include "ui/window_record.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "platform/string_table.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "platform/message.h"

namespace kq5 {

namespace {

constexpr int kMsgCallTooLarge = 10943;
constexpr int kMsgNetlistTooLarge = 10944;
constexpr int kTextExpansionProgress = 10945;
// Keys and the status bar are looked at every so many items: often enough to answer Esc at
// once, seldom enough to cost nothing beside the expansion itself.
constexpr int kVisitsPerLook = 4096;

int& LimitSetting()
{
    static int limit = 0;
    return limit;
}

// Esc typed since the last look. Only key presses are taken from the queue: the circuit is
// half made, so nothing else may run meanwhile.
bool EscapePressed()
{
    bool escape = false;
    win::MSG message{};
    while (win::PeekMessage(&message, nullptr, win::WM_KEYDOWN, win::WM_KEYDOWN, win::PM_REMOVE))
        if (message.wParam == win::VK_ESCAPE) escape = true;
    return (win::GetAsyncKeyState(win::VK_ESCAPE) & 1) != 0 || escape;
}

}  // namespace

int CircuitComponentLimit() { return LimitSetting() > 0 ? LimitSetting() : kMaxCircuitComponents; }

void SetCircuitComponentLimitForTests(int limit) { LimitSetting() = limit; }

int CheckNetlistComponentCount(const CircuitDocument& document)
{
    if (document.itemList.count <= CircuitComponentLimit()) return 0;
    ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), kMsgNetlistTooLarge, CircuitComponentLimit());
    return kMsgAlreadyReported;
}

void ForgetEarlierEscape()
{
    win::GetAsyncKeyState(win::VK_ESCAPE);
    // An Esc still waiting in the queue was typed before the build too; other keys are put back.
    std::vector<win::MSG> kept;
    win::MSG message{};
    while (win::PeekMessage(&message, nullptr, win::WM_KEYDOWN, win::WM_KEYDOWN, win::PM_REMOVE))
        if (message.wParam != win::VK_ESCAPE) kept.push_back(message);
    for (const win::MSG& m : kept) win::PostMessage(m.hwnd, m.message, m.wParam, m.lParam);
}

ExpansionWatch::ExpansionWatch(const CircuitDocument& document) : document_(document) {}

ExpansionWatch::~ExpansionWatch()
{
    if (progressShown_) SetStatusText(savedStatus_);
}

int ExpansionWatch::Visit(const SchematicItem* call)
{
    if (call && document_.itemList.count > CircuitComponentLimit()) {
        ReportNetlistMessage("WNE", CurrentRecord(), call, kMsgCallTooLarge,
                             GetAttributeText(call, kAttrName), CircuitComponentLimit());
        return kMsgAlreadyReported;
    }
    if (++visits_ % kVisitsPerLook != 0) return 0;
    if (EscapePressed()) return kMsgStoppedByUser;
    if (StatusBarShown()) {
        if (!progressShown_) savedStatus_ = GetStatusText();
        progressShown_ = true;
        if (const auto format = FindStringTableText(kTextExpansionProgress))
            SetStatusText(StrPrintf(std::string(*format).c_str(), document_.itemList.count));
    }
    return 0;
}

}  // namespace kq5
