#pragma once
// The Shape Editor's drawing surface (window class "ShapeArea") and its tool bar ("ShapeTools"):
// painting the open shape on the canvas, and the mouse and keys that draw and edit it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/font_description.h"
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

// Ends the gesture under way; a polygon being collected is added with the points it has.
void EndShapeGesture();
// Asks for a shape text with the text prompt, starting from the text and font given; false when
// cancelled (text and font unchanged).
bool AskShapeText(win::HWND owner, std::string& text, FontSpec& font);
// A TEXT payload at the point, its rectangle the text's size in its font (also stored in `rect`
// when given).
std::vector<std::uint8_t> MeasuredTextPayload(const win::POINT& p, const std::string& text, const FontSpec& font,
                                              win::RECT* rect);
// The font a TEXT payload holds.
FontSpec TextFontOfPayload(std::span<const std::uint8_t> payload);

}  // namespace kq5
