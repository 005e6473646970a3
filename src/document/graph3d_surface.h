#pragma once
// What a 3-D plot computes from the stored runs and keeps while its window lives: the data and
// drawn ranges of the three axes, the surface grid and the cursor grid points. None of it goes
// into the circuit file; every preparation rebuilds it from scratch.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kq5 {

struct WindowRecord;
struct LinkedList;

// Y types of a 3-D plot.
constexpr int kGraph3DExpression = 0;
constexpr int kGraph3DPerformance = 1;

struct Graph3DSurface {
    std::int32_t hidden = 0;          // the window was closed but the plot stays listed
    WindowRecord* window = nullptr;   // the plot's window, null while it has none
    LinkedList* list = nullptr;       // the document's list that holds the plot (while it has a window)
    std::array<double, 3> dataMin{};  // X, Y, Z
    std::array<double, 3> dataMax{};
    std::array<double, 3> axisMin{};
    std::array<double, 3> axisMax{};
    std::array<int, 3> linear{1, 1, 1};
    std::array<char, 3> suffix{' ', ' ', ' '};  // engineering letter of each scale, ' ' none
    std::array<std::string, 3> axisName;        // names of the sources, for scales and titles
    std::int32_t curveIndex = -1;     // the analysis plot's curve shown, -1 none
    std::int32_t failed = 0;          // the last preparation ran out of memory
    std::int32_t nothingMeasured = 0; // the performance function found its event in no run
    std::vector<double> xGrid;        // patchesX + 1 values
    std::vector<double> zGrid;        // patchesZ + 1 values
    std::vector<std::vector<double>> rows;  // per Z grid line, patchesX + 1 heights
    // Grid point of the left and right cursor: row x (patchesX + 1) + column.
    std::array<std::int32_t, 2> cursorPoint{0, 0};

    bool HasGrid() const { return !rows.empty() && !xGrid.empty() && rows.size() == zGrid.size(); }
    void FreeGrid()
    {
        xGrid.clear();
        zGrid.clear();
        rows.clear();
    }
};

}  // namespace kq5
