#pragma once
// The Plot Characteristics dialog of an analysis window (15679; 15710 in probe mode): colours,
// shown curves, line widths and graphs, ranges and formats of the curves, edited on copies and
// written back by Test and OK; Cancel writes back what was there when it opened.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct CurveRecord;
struct WindowRecord;

inline constexpr int kPlotCharacteristicsTemplate = 15679;
inline constexpr int kProbeCharacteristicsTemplate = 15710;
inline constexpr int kCharacteristicsTestButton = 203;

// What the dialog edits of one curve.
struct CurveEdit {
    std::int32_t plotGroup = 0;
    std::int32_t state = 0;
    std::int32_t lineWidth = 1;
    std::int32_t color = 0;
    std::array<double, 2> low{};
    std::array<double, 2> high{};
    std::array<std::int32_t, 2> rangeMode{};
    std::array<std::string, 2> scaleFormats;  // X, Y
    std::array<std::string, 2> valueFormats;  // X (second value format), Y (value format)
    std::string name;
};

// Everything the dialog can change, as it stands in the window.
struct CharacteristicsSnapshot {
    std::vector<CurveEdit> curves;
    std::array<std::uint8_t, 3> fontColors{};  // text, grid, graph background
    std::int32_t windowBackground = 0;
    std::int32_t oneScale = 0;
    std::int32_t saveRange = 0;
    std::int32_t scaleColor = 0;
};

CharacteristicsSnapshot TakeCharacteristicsSnapshot(WindowRecord* window);
// mode 1 OK (rows written back), 2 Cancel, 203 Test.
void CommitCurveEdits(WindowRecord* window, const std::vector<CurveEdit>& edits, int mode);
void CommitCurveRanges(WindowRecord* window, const std::vector<CurveEdit>& edits, int oneScale, int saveRange, int mode);
void ApplyCharacteristicsSnapshot(WindowRecord* window, const CharacteristicsSnapshot& snapshot, int mode);

// Runs the dialog; 1 OK, 0 Cancel.
int OpenPlotCharacteristics(WindowRecord* window);

// What another kind of plot window adds to the dialog: its own template with more controls on
// the Plot page (the performance window's function panel).
struct CharacteristicsExtension {
    int templateId = kPlotCharacteristicsTemplate;
    std::string caption;  // empty: the template's
    std::function<void(win::HWND dialog)> init;
    std::function<void(win::HWND dialog, bool plotPage)> showPlotPage;
    // Before the dialog's own handling; true when the command is fully handled.
    std::function<bool(win::HWND dialog, int id, int code)> command;
    // After the curves were committed: mode 203 Test, 1 OK, 2 Cancel.
    std::function<void(win::HWND dialog, int mode)> apply;
};
int OpenPlotCharacteristics(WindowRecord* window, const CharacteristicsExtension& extension);

}  // namespace kq5
