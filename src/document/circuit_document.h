#pragma once
// The document of one circuit window, schematic or text: kept in the extra block of the
// window's record. Only the fields that the core services read are here so far.
#include <string>

namespace kq5 {

struct CircuitDocument {
    std::string name;        // the circuit's file name (or its untitled name)
    int textLineCount = 0;   // cached line count of the text area, 0 when not cached
    int currentPane = 0;     // index of the active pane, 0 to 3
};

}  // namespace kq5
