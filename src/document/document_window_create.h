#pragma once
// Making the document windows: an MDI child of the frame, or a hidden schematic window, with
// the window classes the schematic editor registers.
#include <functional>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

// Registers the schematic, text circuit and model library window classes (their window
// procedures belong to the schematic editor); true when all are registered. Filled by
// InstallDocumentWindowClasses (schematic) at start-up and in every test program. Empty, a window
// is made only when its class is registered already.
struct DocumentWindowClassSeam {
    std::function<bool()> registerClasses;
};
DocumentWindowClassSeam& DocumentWindowClasses();

// Creates a document window of the class with the title; the window kind travels to its
// creation, which makes its record. Null when the window or its record cannot be made.
win::HWND CreateMdiChild(const char* className, const std::string& title, int kind);

// A schematic window that is never shown: a hidden child of the frame, outside the MDI client,
// for work that needs a schematic document out of the user's sight (a macro's schematic read
// for a circuit build). Null when it cannot be made.
inline constexpr int kHiddenCircuitWindowId = 4444;
win::HWND CreateHiddenCircuitWindow(const std::string& title);

}  // namespace kq5
