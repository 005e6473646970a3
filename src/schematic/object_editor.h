#pragma once
// The Object Editor: a modal dialog over the Shape Editor's open shape that lists its primitives
// and shows the chosen one's defining points as numbered X and Y fields, so that coordinates can
// be typed exactly; for a block it also shows the pins with their marks.
#include <array>
#include <cstdint>
#include <vector>

#include "platform/win_types.h"
#include "document/shape_data.h"

namespace kq5 {

constexpr int kObjectList = 12211;
constexpr int kObjectPinPanel = 12214;
constexpr int kObjectPointScroll = 12219;
constexpr int kObjectFirstField = 12224;  // X of row k: 12224 + 2k, Y: 12225 + 2k
constexpr int kObjectFirstRowLabel = 12242;
constexpr int kObjectRows = 8;
constexpr int kPinMarkCommand = 19800;    // + mark value, from the pin panel's menu
constexpr int kPinMarkCount = 6;          // the marks the menu offers, 0 to 5
// A pin-mark picture: a pin entering the edge of a block, with the mark drawn as blocks draw it.
constexpr int kPinMarkPictureWidth = 36;
constexpr int kPinMarkPictureHeight = 16;

struct ObjectEditorState {
    win::HWND dialog = nullptr;
    ShapePrimitive* chosen = nullptr;
    int firstPoint = 0;
    int nextNumber = 0;
    int menuPin = -1;  // the pin whose mark the menu changes
    std::array<win::HBITMAP, kPinMarkCount> markPictures{};
    win::HMENU markMenu = nullptr;  // the pictures as a popup menu, item k choosing mark k
};

ObjectEditorState& ObjectEditor();

// Runs the dialog over the Shape Editor (its owner), choosing the primitive when given.
void RunObjectEditor(win::HWND owner, ShapePrimitive* chosen);
win::INT_PTR ObjectEditorDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

// The picture of a pin mark (the caller deletes it). Bit 0 draws the clock wedge and bit 1 the
// bubble, as blocks are drawn; bit 2 has no drawing of its own on a block, so marks 4 and 5 show
// their value inside the block edge to stay told apart from 0 and 1.
win::HBITMAP MakePinMarkPicture(int mark);

// Makes a primitive in the Shape Editor's list, lists it and chooses it; whether one was made.
bool AddObjectEditorObject(win::HWND dialog, const std::vector<std::uint8_t>& payload, int type);
// Chooses a primitive: its points in the rows, the rows beyond hidden, the scroll bar over more.
void ShowObjectPoints(win::HWND dialog, ShapePrimitive* primitive);
// Reads one point field and applies it when it is a whole number the primitive accepts.
void CommitPointField(win::HWND dialog, int fieldId);

}  // namespace kq5
