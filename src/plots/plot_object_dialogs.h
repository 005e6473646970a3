#pragma once
// The dialogs that edit a plot object: the "Analysis Text" dialog of text objects and the
// properties dialog of the other kinds.
#include <cstdint>

namespace kq5 {

struct PlotObject;
struct WindowRecord;

constexpr int kAnalysisTextTemplate = 3004;
constexpr int kPlotObjectTemplate = 3006;
// The "Analysis Text" check boxes and the style bits they set.
constexpr int kTextOpaqueCheck = 200;
constexpr int kTextBorderCheck = 201;
constexpr std::uint16_t kTextOpaque = 0x0001;
constexpr std::uint16_t kTextBorder = 0x0080;

// Both edit the object handed to them (a copy the caller keeps until OK); 2 when cancelled.
int RunAnalysisTextDialog(WindowRecord* record, PlotObject& object);
int EditPlotObjectDialog(WindowRecord* record, PlotObject& object);

}  // namespace kq5
