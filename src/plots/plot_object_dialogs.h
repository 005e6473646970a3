#pragma once
// The dialogs that edit a plot object: the "Analysis Text" dialog of text objects and the
// properties dialog of the other kinds.
namespace kq5 {

struct PlotObject;
struct WindowRecord;

constexpr int kAnalysisTextTemplate = 3004;
constexpr int kPlotObjectTemplate = 3006;

// Both edit the object handed to them (a copy the caller keeps until OK); 2 when cancelled.
int RunAnalysisTextDialog(WindowRecord* record, PlotObject& object);
int EditPlotObjectDialog(WindowRecord* record, PlotObject& object);

}  // namespace kq5
