#pragma once
// Files dropped on a window (WM_DROPFILES with a drop handle).
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace win {

struct DropObject;
using HDROP = DropObject*;

void DragAcceptFiles(HWND hwnd, BOOL accept);
// index 0xFFFFFFFF: the number of files. Otherwise the name of file index into name (when given)
// and its length; 0 for a bad index.
UINT DragQueryFile(HDROP drop, UINT index, std::string* name);
// Where the files were dropped, in the client coordinates of the window that got them; TRUE when
// that point is in its client area.
BOOL DragQueryPoint(HDROP drop, POINT* pt);
void DragFinish(HDROP drop);

}  // namespace win
