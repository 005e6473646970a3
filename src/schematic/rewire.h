#pragma once
// Rewiring of a schematic: wires that cross pins or end on other wires are split and joined
// again so that every connection is an end-to-end one.
namespace kq5 {

struct WindowRecord;

// Run once before the first connectivity rebuild of a schematic loaded from a file of the
// previous generation. 0, or 15002 when memory runs out.
int RewireSchematic(WindowRecord* record, int mode, bool isOldGeneration);

}  // namespace kq5
