#include "schematic/mouse_input.h"

namespace kq5 {

void OnWindowLButtonDown(win::HWND, unsigned, win::LPARAM) {}
void OnWindowLButtonUp(win::HWND, unsigned, win::LPARAM) {}
void OnWindowRButtonDown(win::HWND, unsigned, win::LPARAM) {}
void OnWindowRButtonUp(win::HWND, unsigned, win::LPARAM) {}
void OnWindowMouseMove(win::HWND, unsigned, win::LPARAM) {}
void OnCircuitDoubleClick(win::HWND, unsigned, win::LPARAM) {}

}  // namespace kq5
