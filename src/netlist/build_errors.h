#pragma once
// Where the errors of a circuit build are shown, and the current circuit's build-failed flag:
// every reported error marks the build as failed so that it stops at its next step.
namespace kq5 {

struct SchematicItem;
struct CircuitTextObject;

// Shows the item or text line as the place of the error about to be reported and marks the
// current circuit's build as failed. A null object shows the SPICE line being read, if any.
void ShowErrorLocation(const SchematicItem* item);
void ShowErrorLocation(const CircuitTextObject* line);

void FlagCircuitBuildError();
void ClearCircuitBuildError();
bool CircuitBuildFailed();

}  // namespace kq5
