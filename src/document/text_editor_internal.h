#pragma once
// What the editor's files share among themselves.
#include <cstdint>
#include <string>

#include "document/text_editor.h"

namespace kq5 {

void SetEditorScrollBars(TxtEditRecord& r, bool afterGrowth);
void MeasureEditorFont(TxtEditRecord& r);
bool ComputeEditorGeometry(TxtEditRecord& r);
void ScrollEditorLines(TxtEditRecord& r, std::int32_t lines);
void ScrollEditorColumns(TxtEditRecord& r, std::int32_t columns);
win::POINT EditorCaretCell(TxtEditRecord& r);
void PaintEditor(TxtEditRecord& r);

}  // namespace kq5
