#pragma once
// An analysis window's printout: on a sheet of its own, or into a rectangle of a page already
// open (a graphics layout).
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// An analysis window on its own sheet, or into the open page of dc when one is given.
void PrintPlotWindow(WindowRecord* record, win::HDC dc, const win::RECT* area = nullptr);

}  // namespace kq5
