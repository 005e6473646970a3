#pragma once
// The Shape Editor's drawing surface (window class "ShapeArea") and its tool bar ("ShapeTools"):
// painting the open shape on the canvas, and the mouse and keys that draw and edit it.
#include "platform/win_types.h"

namespace kq5 {

constexpr const char* kShapeAreaClassName = "ShapeArea";
constexpr const char* kShapeToolsClassName = "ShapeTools";

win::LRESULT ShapeAreaProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
win::LRESULT ShapeToolsProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

// The scroll bars' ranges from the zoom and the surface's size.
void UpdateShapeScrollBars();
// Scrolls the surface by pixels (clamped to the canvas).
void ScrollShapeArea(int dx, int dy);
void OnShapeScroll(bool vertical, int code, int position);

}  // namespace kq5
