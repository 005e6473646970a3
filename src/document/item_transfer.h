#pragma once
// Moving nodes between the document, the internal clipboard and the undo lists. Cut, Copy, Paste,
// Delete, Duplicate, dragging, turning and Undo all go through TransferItems and differ only in
// the flag word, the offset and the selection mask they pass. Items never travel through the
// system clipboard.
#include <cstdint>

namespace kq5 {

struct WindowRecord;

// TransferFlags.
constexpr std::uint32_t kTransferAll = 0x0001;           // every node, not only the selected ones
constexpr std::uint32_t kTransferRemove = 0x0002;        // take nodes out of the source
constexpr std::uint32_t kTransferEmptyDest = 0x0004;     // empty the destination lists first
constexpr std::uint32_t kTransferKeepNames = 0x0008;     // no renumbering on arrival
constexpr std::uint32_t kTransferFromClipboard = 0x0010;
constexpr std::uint32_t kTransferFromDocument = 0x0020;  // nodes of the current pane's page only
constexpr std::uint32_t kTransferFromUndo = 0x0040;
constexpr std::uint32_t kTransferAllPages = 0x0080;
constexpr std::uint32_t kTransferToClipboard = 0x0100;
constexpr std::uint32_t kTransferToDocument = 0x0200;
constexpr std::uint32_t kTransferToUndo = 0x0400;
constexpr std::uint32_t kTransferCopyInPlace = 0x0800;   // copy even within one list (duplicate)
constexpr std::uint32_t kTransferKeepPages = 0x4000;     // pasted copies keep their own pages

// Flag words of the editing commands.
constexpr std::uint32_t kTransferLiftToUndo = 0x426;
constexpr std::uint32_t kTransferKeepForUndo = 0x424;  // a copy of the selection in the undo lists
constexpr std::uint32_t kTransferUndoBack = 0x243;
constexpr std::uint32_t kTransferSnapshotToUndo = 0x4A5;
constexpr std::uint32_t kTransferCopy = 0x124;
constexpr std::uint32_t kTransferCut = 0x126;
constexpr std::uint32_t kTransferPaste = 0x211;
constexpr std::uint32_t kTransferPasteForUndo = 0x4219;
constexpr std::uint32_t kTransferDuplicate = 0xA20;
constexpr std::uint32_t kTransferMove = 0x220;

// Copies, moves, offsets, turns or deletes the nodes of one group of lists into another. dx and
// dy are grid units for items and grid texts, pixels for plot objects; orientationDelta turns
// components moved in place. Returns the number of nodes taken. Lack of memory ends the pass of
// the list being copied (reported once per pass as 15002); the other passes still run.
int TransferItems(WindowRecord* record, int dx, int dy, int orientationDelta, std::uint32_t flags,
                  std::uint8_t selectionMask);

// Counts the fillings of the internal clipboard: equal counts mean it holds the same nodes.
std::uint64_t ClipboardGeneration();

}  // namespace kq5
