#pragma once
// Program-wide settings that many parts of the program read: the Preferences option word, the
// directories, and whether a batch run or a demo is going on. Also the program's message box.
#include <array>
#include <cstdint>
#include <string>

#include "core/font_description.h"
#include "core/timers.h"
#include "platform/win_types.h"

namespace kq5 {

struct MessageContext;

// Bits of the Preferences option word.
constexpr std::uint32_t kOptionSound = 0x0001;
constexpr std::uint32_t kOptionFileWarning = 0x0002;
constexpr std::uint32_t kOptionQuitWarning = 0x0004;
constexpr std::uint32_t kOptionFloatingNodes = 0x0010;
constexpr std::uint32_t kOptionNodeSnap = 0x0040;
constexpr std::uint32_t kOptionSelectMode = 0x0080;
constexpr std::uint32_t kOptionAutoShowModel = 0x0100;
constexpr std::uint32_t kOptionLockToolBar = 0x0200;
constexpr std::uint32_t kOptionPrintBackground = 0x0400;
// kOptionTimeStamp 0x0800 and kOptionDateStamp 0x1000 are in core/timers.h, beside the stamp.
constexpr std::uint32_t kOptionRubberbanding = 0x2000;
constexpr std::uint32_t kOptionInertialCancellation = 0x4000;
constexpr std::uint32_t kOptionTextIncrement = 0x8000;
constexpr std::uint32_t kDefaultOperationalOptions = 0xC247;

struct ProgramSettings {
    std::uint32_t operationalOptions = kDefaultOperationalOptions;
    std::string programDirectory;  // ends in a separator
    std::string workingDirectory;  // where circuit files are opened and saved
    int defaultTextLineHeight = 0;
    FontSpec defaultAttributeFont;  // given to attributes made outside a window
    win::HWND toolBar = nullptr;    // the frame's tool bar, whose buttons follow the state
    std::array<std::string, 10> recentComponents;  // the last ten placed components, newest first
    bool batchRun = false;
    bool demoRunning = false;
};

ProgramSettings& Settings();

// The option word as the message reporter, the time stamps and the Preferences read it.
std::uint32_t OptionFlags();
// The date and time stamp (see FormatDateTimeStamp in core/timers.h) under the program's
// option word.
std::string FormatDateTimeStamp(bool withLabels);
std::uint32_t PreferencesOptionWord();

// Beeps when the sound option is on.
void BeepIfEnabled();

// The program's message box: caption, body and the buttons and icon of the style, shown over
// the owning window; returns the button chosen.
int MessageBoxDialog(const MessageContext& context);

}  // namespace kq5
