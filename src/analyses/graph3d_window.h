#pragma once
// The 3-D plot window: an MDI child of class "graph3d" (window kind 8) that shows one
// Graph3DPlot of the analysed circuit. Rotation by keys and by dragging an axis end, the
// flashing cursor and the cursor pick, the popup, and the commands of the "&3D Windows" menu.
#include "platform/win_types.h"

namespace kq5 {

struct Graph3DPlot;
struct Graph3DView;
struct LinkedList;
struct WindowRecord;

inline constexpr const char* kGraph3DClassName = "graph3d";
inline constexpr int kGraph3DTimer = 5679;
inline constexpr int kGraph3DTimerPeriod = 750;
inline constexpr int kGraph3DCharacteristics = 28;
inline constexpr int kGraph3DHideWindow = 14585;
inline constexpr int kAdd3DWindowCommand = 14600;
inline constexpr int kChange3DWindowCommand = 14601;
inline constexpr int kDelete3DWindowCommand = 14602;
inline constexpr int kFirst3DWindowEntry = 14603;
inline constexpr int kLast3DWindowEntry = 14612;
// Each analysis kind holds at most as many 3-D plots as the menu has numbered entries.
inline constexpr int kMaxGraph3DPlots = kLast3DWindowEntry - kFirst3DWindowEntry + 1;
inline constexpr int kMsgSame3DAxes = 13785;

// The one drag a program can have under way.
struct Graph3DDragState {
    int handle = -1;  // -1 none; 0, 1, 2: the end of the X, Y or Z axis
    win::POINT start{};
    int firstMove = 0;
    WindowRecord* window = nullptr;
};
Graph3DDragState& Graph3DDrag();
void ResetGraph3DWindowsForTests();

bool RegisterGraph3DClass();
void UnregisterGraph3DClass();
win::LRESULT Graph3DWndProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

// Defaults of a new plot.
void InitGraph3DPlot(Graph3DPlot& plot);
// The window of a plot, linked both ways; null when it cannot be made.
WindowRecord* CreateGraph3DWindow(Graph3DPlot& plot, LinkedList& list);
Graph3DPlot* Graph3DPlotOfWindow(const WindowRecord* window);
// The plots of the analysed circuit for the current analysis kind; null without one.
LinkedList* CurrentGraph3DList();

void PrepareGraph3DData(WindowRecord* window);
void RecomputeGraph3DWindows(int onlyVisible);
// The analysis window closes: every 3-D window keeps its placement, is hidden and closed.
void CloseGraph3DWindowsOfPlot();
// Curves of the analysis plot that 3-D plots can use: its curve count while stepping, a list of
// temperatures or Monte Carlo is in force, else 0.
int CountGraph3DCurves();

// The commands; 0 when taken.
int AddGraph3DWindow();
int OpenAdd3DPlotDialog(WindowRecord* window, bool adding = false);
void DeleteGraph3DWindows();
void ChangeGraph3DWindow(int n);
int RouteGraph3DCommand(int id, WindowRecord* active);
// The numbered entries of the "&3D Windows" popup as it opens.
void RebuildGraph3DMenu(win::HMENU popup);

// A key-down to a 3-D window: 1 when it turned the view or switched the contour.
int Graph3DKeyRotate(win::HWND hwnd, unsigned key);
// The handle (0 X end, 1 Y end, 2 Z end) under a point, -1 none.
int HitRotationHandle(const Graph3DPlot& plot, const Graph3DView& view, win::POINT point);
// New angles that bring the dragged handle nearest to the mouse.
void FitRotationToPoint(Graph3DPlot& plot, const Graph3DView& view, int handle, win::POINT mouse);
// Moves cursor `which` (0 left, 1 right) to the grid point under the mouse; false outside.
bool PickGraph3DCursor(WindowRecord* window, int which, win::POINT mouse);
// Lends the window's two cursor points (X, height, Z) to its curve in the analysis window's
// cursor table; `force` also when the table shows them already (after a cursor moved).
void SyncGraph3DCursor(WindowRecord* window, bool force = false);
// The view the window draws with now.
bool CurrentGraph3DView(WindowRecord* window, Graph3DView& view);

}  // namespace kq5
