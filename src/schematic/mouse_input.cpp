#include "schematic/mouse_input.h"

#include <algorithm>
#include <cmath>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/edit_mode.h"
#include "schematic/find_replace.h"
#include "ui/frame_state.h"
#include "document/characteristics.h"
#include "ui/mode_cursors.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "digital/digital_path_window.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/hit_test.h"
#include "document/node_flags.h"
#include "document/part_numbering.h"
#include "document/selection.h"
#include "document/component_types.h"
#include "platform/cursor.h"
#include "platform/message.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "plots/plot_click_services.h"
#include "results/plot_object.h"
#include "plots/plot_object_moves.h"
#include "schematic/box_operations.h"
#include "schematic/box_operations_tracker.h"
#include "document/component_definition.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"
#include "schematic/move_selection.h"
#include "document/pane_seams.h"

namespace kq5 {

namespace {

// Edit modes (their command ids).
enum Mode {
    kModeSelect = 17561,
    kModeComponent = 17562,
    kModeText = 17563,
    kModeWire = 17564,
    kModeHelp = 17565,
    kModeLine = 17566,
    kModeEllipse = 17567,
    kModeRectangle = 17568,
    kModeDiamond = 17569,
    kModeArc = 17570,
    kModeScale = 17571,
    kModeCursor = 17572,
    kModeTextAbs = 17573,
    kModeTextRel = 17574,
    kModePie = 17575,
    kModeFlag = 17576,
    kModeDiagonalWire = 17577,
    kModeInfo = 17578,
    kModeHorizontalTag = 17579,
    kModeVerticalTag = 17580,
    kModeTag = 17581,
    kModePointToEnd = 17582,
    kModePointToPoint = 17583,
    kModeGraphics = 17584,
    kModeImportMetafile = 17585,
};

constexpr int kCursorHorizontalBar = 1008;
constexpr int kCursorVerticalBar = 1009;
constexpr int kCursorCrossing = 1010;
constexpr int kPanCursor = 1006;
constexpr unsigned kMouseButtons = win::MK_LBUTTON | win::MK_RBUTTON | 0x0010;  // left, right, middle

bool AnalysisActive() { return Analysis().analysisKind != kAnalysisNone; }
bool Schematic(const WindowRecord* record) { return record && record->document && IsSchematicKind(record->kind); }
bool PlotLike(const WindowRecord* record)
{
    return record && (record->kind == kWindowAnalysis || record->kind == kWindowPerformance || record->kind == kWindow3D);
}
bool BandDrag(int state) { return (state & (kDragWire | kDragSelectBox | kDragObject | kDragReshape | kDragScaleBox | kDragSplitters)) != 0; }

win::POINT PointOf(win::LPARAM lParam) { return {win::GET_X_LPARAM(lParam), win::GET_Y_LPARAM(lParam)}; }

int CurrentPaneOf(const WindowRecord* record) { return record->document ? record->document->currentPane : 0; }

// The grid point of a client point in the window's current pane.
win::POINT GridPoint(WindowRecord* record, win::POINT client)
{
    return ClientToWorld(record, client.x, client.y, CurrentPaneOf(record));
}

// The pointer lies outside the current pane shrunk by one pixel: the drag scrolls it.
bool OutsidePane(const WindowRecord* record, win::POINT point)
{
    win::RECT rect{};
    GetPaneRect(record, CurrentPaneOf(record), rect);
    if (rect.right <= rect.left || rect.bottom <= rect.top) return false;
    return point.x < rect.left + 1 || point.x >= rect.right - 1 || point.y < rect.top + 1 || point.y >= rect.bottom - 1;
}

bool InsideMarkRect(const WindowRecord* record, win::POINT grid)
{
    if (IsMarkRectUnset(record)) return false;
    win::RECT box = record->markRect;
    NormalizeRect(box);
    return grid.x >= box.left && grid.x <= box.right && grid.y >= box.top && grid.y <= box.bottom;
}

void SetPanCursor(bool on, const WindowRecord* record)
{
    if (on) win::SetCursor(win::LoadCursor(nullptr, kPanCursor));
    else SetModeCursor(record);
}

// Starts moving the selection from the grid point; false when the drag could not start.
bool StartMove(WindowRecord* record, win::POINT grid)
{
    EditorDrag& drag = SchematicEditor().drag;
    const bool text = Documents().pickedAttribute && (SchematicEditor().attributeSelection & kSelected);
    const int flags = text ? (kMoveRubberBand | kMovePlacedText) : kMoveRubberBand;
    if (MoveSelection(record, grid.x, grid.y, kMouseLeft, kMoveBegin, flags) != 0) return false;
    SchematicEditor().dragState = kDragMoving;
    drag.movingText = text;
    return true;
}

void StartSelectBox(WindowRecord* record, win::POINT grid)
{
    SchematicEditorState& state = SchematicEditor();
    state.dragState = kDragSelectBox;
    SetMarkRect(record, grid.x, grid.y, grid.x, grid.y);
    TrackerStart(record, CurrentPaneOf(record), TrackPurpose::SelectBox, win::RECT{grid.x, grid.y, grid.x, grid.y}, 0,
                 kTrackNormalize);
}

void StartWireDrag(WindowRecord* record, win::POINT grid, bool diagonal)
{
    SchematicEditorState& state = SchematicEditor();
    state.dragState = kDragWire;
    SetAllItemsSelected(record, WindowSelectionMask(record), 0);
    state.dragRect = win::RECT{grid.x, grid.y, grid.x, grid.y};
    TrackerStart(record, CurrentPaneOf(record), diagonal ? TrackPurpose::DiagonalWire : TrackPurpose::Wire, state.dragRect, 0, 0);
    ResetDrawRange(record);
}

void PlaceComponentAt(WindowRecord* record, win::POINT grid)
{
    ComponentDefinition* definition = ChosenComponentDefinition();
    SetAllItemsSelected(record, WindowSelectionMask(record), 0);
    if (!definition) return;
    SchematicItem* item = NewSchematicItem(record);
    if (!item) return;
    item->itemKind = kItemComponent;
    item->definition = definition;
    item->x1 = grid.x;
    item->y1 = grid.y;
    // The part keeps the turn its last placed sibling was given.
    item->orientation = static_cast<OrientationCode>(DefinitionOrientation(*definition));
    item->selection = kSelected | kSelectNew;
    SchematicEditorState& state = SchematicEditor();
    state.newComponent = item;
    if (MoveSelection(record, grid.x, grid.y, kMouseLeft, kMoveBegin, 0) != 0) return;
    state.dragState = kDragPlacing;
}

// Reshaping a selected wire or graphic object by one of its handles.
void StartReshape(WindowRecord* record, SchematicItem& item, int handle)
{
    SetItemAsTemplate(record, &item);
    SchematicEditor().dragState = kDragReshape;
    const std::uint16_t kind = item.ObjectKind();
    const int options = item.itemKind == kItemGraphicObject && IsBoxShapedObjectKind(kind) ? kTrackNormalize : 0;
    TrackerStart(record, CurrentPaneOf(record), TrackPurpose::Reshape, win::RECT{item.x1, item.y1, item.x2, item.y2}, handle,
                 options, item.itemKind == kItemGraphicObject ? item.style : 0);
    RubberBandTracker& tracker = Tracker();
    tracker.item = &item;
    if (item.itemKind == kItemGraphicObject && kind == kObjectPicture) tracker.ownerText = GetAttributeText(&item, kAttrFile);
}

void Redraw(WindowRecord* record) { RepaintAfterEdit(record); }

// Select mode: the press is pending until the next move or release.
void PressInSelectMode(WindowRecord* record, unsigned keyFlags, win::POINT client)
{
    SchematicEditorState& state = SchematicEditor();
    state.pendingClick = 1;
    state.shiftWord = static_cast<int>(keyFlags & win::MK_SHIFT);
    SelectClick(record, state.shiftWord, client.x, client.y, 0, keyFlags);
}

// The shape drawing modes, the same in a schematic (at the page point, in its pane) and on an
// analysis window (at the pixel); any other mode does nothing here.
void DrawShapeByMode(WindowRecord* record, int mode, win::POINT client, win::POINT at, int pane)
{
    switch (mode) {
    case kModeLine: StartGraphicObjectDrag(record, 7, kObjectLine, at.x, at.y, pane); break;
    case kModeEllipse: StartGraphicObjectDrag(record, 0x8007, 0x280, at.x, at.y, pane); break;
    case kModeRectangle: StartGraphicObjectDrag(record, 0x8007, 0x380, at.x, at.y, pane); break;
    case kModeDiamond: StartGraphicObjectDrag(record, 0x8007, 0x480, at.x, at.y, pane); break;
    case kModeArc: StartGraphicObjectDrag(record, 7, kObjectArc, at.x, at.y, pane); break;
    case kModePie: StartGraphicObjectDrag(record, 7, 0x680, at.x, at.y, pane); break;
    case kModeGraphics:
        if (record->window) {
            win::POINT screen = client;
            win::ClientToScreen(record->window, &screen);
            ShowGraphicsKindPopup(record->window, screen);
        }
        break;
    default:
        break;
    }
}

void DispatchSchematicMode(WindowRecord* record, int mode, unsigned keyFlags, win::POINT client, win::POINT grid, int pane)
{
    SchematicEditorState& state = SchematicEditor();
    const bool analysis = AnalysisActive();
    switch (mode) {
    case kModeSelect: PressInSelectMode(record, keyFlags, client); break;
    case kModeComponent:
        if (!analysis) PlaceComponentAt(record, grid);
        break;
    case kModeText:
    case kModeFlag:
        if (!analysis) PlaceGridTextOrFlag(record, grid.x, grid.y, mode == kModeFlag);
        break;
    case kModeWire:
    case kModeDiagonalWire:
        if (!analysis) StartWireDrag(record, grid, mode == kModeDiagonalWire);
        break;
    case kModeImportMetafile: StartGraphicObjectDrag(record, 0x88007, kObjectPicture, grid.x, grid.y, pane); break;
    case kModePointToEnd:
    case kModePointToPoint: {
        if (analysis) break;
        std::uint8_t* byte = nullptr;
        auto* item = static_cast<SchematicItem*>(PickObjectAtPoint(record, &byte, nullptr, client.x, client.y, kPickComponentsOnly));
        if (!item || item->kind != kKindSchematicItem || !item->IsComponent()) break;
        const ComponentTypeRow* row = FindComponentTypeRow(ItemComponentType(item));
        if (!row || row->domain != 1) break;  // digital parts only
        auto show = PaneInput().showPathWindow;
        if (mode == kModePointToEnd) {
            if (show) show(record, item, nullptr);
        } else if (!state.firstGate) {
            state.firstGate = item;
        } else {
            if (show) show(record, state.firstGate, item);
            state.firstGate = nullptr;
        }
        break;
    }
    case kModeHelp:
    case kModeInfo: {
        std::uint8_t* byte = nullptr;
        ListNode* element = PickObjectAtPoint(record, &byte, nullptr, client.x, client.y, kPickAttributes);
        if (!element) break;
        if (mode == kModeHelp) ShowComponentSyntaxHelp(record, element);
        else ShowComponentInfo(record, element);
        break;
    }
    default:
        DrawShapeByMode(record, mode, client, grid, pane);
        break;
    }
}

void DispatchPlotMode(WindowRecord* record, int mode, unsigned keyFlags, win::POINT client)
{
    SchematicEditorState& state = SchematicEditor();
    const bool analysis = AnalysisActive();
    switch (mode) {
    case kModeSelect: PressInSelectMode(record, keyFlags, client); break;
    case kModeScale:
        if (analysis && FindPlotAtPoint(record, client.x, client.y) >= 0) {
            SetAllItemsSelected(record, WindowSelectionMask(record), 0);
            state.dragState = kDragScaleBox;
            TrackerStart(record, 0, TrackPurpose::ScaleBox, win::RECT{client.x, client.y, client.x, client.y}, 0,
                         kTrackPixels | kTrackNormalize);
        }
        break;
    case kModeCursor:
        if (analysis) ClickMoveCursor(record, keyFlags, client.x, client.y);
        break;
    case kModeTextAbs: AddPlotTextObject(record, client.x, client.y, -1); break;
    case kModeTextRel: AddPlotTextObject(record, client.x, client.y, FindPlotAtPoint(record, client.x, client.y)); break;
    case kModeHorizontalTag:
    case kModeVerticalTag:
    case kModeTag:
        if (FindPlotAtPoint(record, client.x, client.y) >= 0) {
            const std::uint16_t kind = mode == kModeHorizontalTag ? 0xA01 : mode == kModeVerticalTag ? 0x801 : 0x901;
            StartGraphicObjectDrag(record, 7, kind, client.x, client.y, 0);
        }
        break;
    default:
        DrawShapeByMode(record, mode, client, client, 0);
        break;
    }
}

}  // namespace

PaneInputServices& PaneInput()
{
    static PaneInputServices services;
    return services;
}

void InstallPathWindow() { PaneInput().showPathWindow = ShowPathWindowForParts; }

void ResetMouseDragState()
{
    SchematicEditorState& state = SchematicEditor();
    state.pendingClick = 0;
    state.shiftWord = 0;
    state.dragState = 0;
}

void DispatchClickByMode(WindowRecord* record, unsigned keyFlags, win::POINT point)
{
    if (!record) return;
    SchematicEditorState& state = SchematicEditor();
    win::POINT grid = point;
    int pane = -1;
    if (Schematic(record)) {
        pane = PaneAtPoint(record, point.x, point.y);
        if (pane >= 0) {
            record->document->currentPane = pane;
            grid = ClientToWorld(record, point.x, point.y, pane);
        }
        if (ProbeModeActive() && record == CurrentRecord()) {
            if (!RunControl().running && pane >= 0) {
                HandleProbeClick(record, point.x, point.y, 1);
                return;
            }
        }
        if (PaneInput().splitterAtPoint) {
            const int cursor = PaneInput().splitterAtPoint(record, point.x, point.y);
            if (cursor == kCursorHorizontalBar || cursor == kCursorVerticalBar || cursor == kCursorCrossing) {
                state.dragState = cursor == kCursorHorizontalBar ? kDragSplitterH : cursor == kCursorVerticalBar ? kDragSplitterV : kDragSplitters;
                state.dragRect = win::RECT{point.x, point.y, point.x, point.y};
                TrackerStart(record, 0, TrackPurpose::Splitter, state.dragRect, 0, kTrackPixels | kTrackAsDragged);
                Tracker().splitterCode = cursor - kCursorHorizontalBar + 1;
                return;
            }
        }
        if (pane < 0) {
            if (PaneInput().paneButtonAtPoint) {
                const int button = PaneInput().paneButtonAtPoint(record, point.x, point.y, 0, false);
                if (button >= 0 && PaneInput().showFlagsPopup) {
                    state.flagsPopupPane = button;
                    win::POINT screen = point;
                    if (record->window) win::ClientToScreen(record->window, &screen);
                    PaneInput().showFlagsPopup(record, button, screen);
                    PaneInput().paneButtonAtPoint(record, point.x, point.y, -1, false);
                }
            }
            return;
        }
    } else if (PlotLike(record)) {
        AnalysisClickPrepare(record, point.x, point.y);
        EditStateOf(record).lastPoint = point;  // where Paste puts plot objects
    }

    // A handle of the select box resizes it.
    if (Schematic(record) && !IsMarkRectUnset(record)) {
        const int handle = HitTestRectHandles(record->markRect, grid, 0, kHandleMaskAll);
        if (handle) {
            SetAllItemsSelected(record, WindowSelectionMask(record), 0);
            state.dragState = kDragSelectBox;
            TrackerStart(record, pane, TrackPurpose::SelectBox, record->markRect, handle, kTrackNormalize);
            return;
        }
    }
    int mode = record->mode ? record->mode : kModeSelect;
    const bool modifier = (keyFlags & (win::MK_SHIFT | win::MK_CONTROL)) != 0;
    if (PlotLike(record) && mode == kModeCursor) {
        if (keyFlags & win::MK_CONTROL) mode = kModeScale;
    } else if (modifier) {
        mode = kModeSelect;
    }
    if (Schematic(record)) DispatchSchematicMode(record, mode, keyFlags, point, grid, pane);
    else DispatchPlotMode(record, mode, keyFlags, point);
}

void SelectClick(WindowRecord* record, int shift, int x, int y, int drag, unsigned keyFlags)
{
    if (!record) return;
    SchematicEditorState& state = SchematicEditor();
    const bool schematic = Schematic(record);
    if (schematic && AnalysisActive() && drag) return;
    const win::POINT grid = schematic ? EditStateOf(record).lastPoint : win::POINT{x, y};
    (void)keyFlags;

    if (drag && !shift && InsideMarkRect(record, grid)) {
        StartMove(record, grid);
        return;
    }
    if (drag) {
        std::uint8_t* byte = nullptr;
        int handle = 0;
        ListNode* node = PickObjectAtPoint(record, &byte, &handle, x, y, kPickSelectedOnly | (shift ? 0 : kPickAttributes));
        if (node && handle && node->kind == kKindSchematicItem) {
            auto* item = static_cast<SchematicItem*>(node);
            if (!item->IsComponent()) {
                StartReshape(record, *item, handle);
                return;
            }
        }
        if (node && handle && node->kind == kKindPlotObject) {
            auto* object = static_cast<PlotObject*>(node);
            const std::uint16_t kind = object->style & kStyleKindMask;
            if (kind != kObjectText) {
                state.dragState = kDragReshape;
                state.drag.plotObject = object;
                state.drag.handle = handle;
                TrackerStart(record, 0, TrackPurpose::Reshape, PlotObjectPixelRect(record, *object), handle, kTrackPixels,
                             object->style);
                Tracker().fixed = GetDimensionLinePixel(record, *object);
                Tracker().fixedIsX = kind == kObjectMeasureV;
                return;
            }
        }
    }
    std::uint8_t* byte = nullptr;
    ListNode* node = PickObjectAtPoint(record, &byte, nullptr, x, y, shift ? 0 : kPickAttributes);
    if (node) {
        if (schematic && Analysis().analysisKind == kAnalysisTransient && node->kind == kKindSchematicItem) {
            ToggleInteractiveSwitch(record, static_cast<SchematicItem*>(node));
            return;
        }
        if (!byte) return;
        if (!shift) {
            if (*byte & kSelected) {
                if (drag) StartMove(record, grid);
                return;
            }
            const bool attribute = node->kind == kKindAttribute;
            ComponentAttribute* pickedAttribute = Documents().pickedAttribute;
            SchematicItem* pickedItem = Documents().pickedItem;
            if (record->undoKind != kUndoBoxEdit) ClearCircuitSelection(record, false);
            SetAllItemsSelected(record, WindowSelectionMask(record), 0);
            if (attribute) {
                // Deselecting forgot the attribute just picked: it is the selection now.
                Documents().pickedAttribute = pickedAttribute;
                Documents().pickedItem = pickedItem;
            }
            *byte = static_cast<std::uint8_t>(*byte | kSelected);
            RedrawListNode(record, attribute ? pickedItem : node);
            if (drag) StartMove(record, grid);
            return;
        }
        ComponentAttribute* pickedAttribute = Documents().pickedAttribute;
        SchematicItem* pickedItem = Documents().pickedItem;
        if (record->undoKind != kUndoBoxEdit) ClearCircuitSelection(record, true);
        // An attribute text picked before is dropped; the one just picked stays picked.
        const bool attribute = node->kind == kKindAttribute;
        Documents().pickedAttribute = attribute ? pickedAttribute : nullptr;
        Documents().pickedItem = attribute ? pickedItem : nullptr;
        *byte = static_cast<std::uint8_t>(*byte ^ kSelected);
        RedrawListNode(record, node->kind == kKindAttribute ? Documents().pickedItem : node);
        if ((*byte & kSelected) && drag) StartMove(record, grid);
        return;
    }
    if (schematic && AnalysisActive()) return;
    if (!shift && drag && InsideMarkRect(record, grid)) {
        StartMove(record, grid);
        return;
    }
    if (record->undoKind != kUndoBoxEdit) ClearCircuitSelection(record, true);
    if (shift) {
        if (!IsMarkRectUnset(record)) {
            SetMarkRect(record, -1, -1, -1, -1);
            Redraw(record);
        }
    } else if (ClearSelection(record)) {
        Redraw(record);
    }
    if (drag && state.dragState == 0) {
        if (schematic) {
            StartSelectBox(record, grid);
        } else {
            state.dragState = kDragSelectBox;
            TrackerStart(record, 0, TrackPurpose::SelectBox, win::RECT{x, y, x, y}, 0, kTrackPixels | kTrackNormalize);
        }
    }
}

void StartGraphicObjectDrag(WindowRecord* record, int flags, std::uint16_t kind, int x, int y, int pane)
{
    if (!record) return;
    SchematicEditorState& state = SchematicEditor();
    SetAllItemsSelected(record, WindowSelectionMask(record), 0);
    state.dragRect = win::RECT{x, y, x, y};
    state.dragState = kDragObject;
    const bool schematic = Schematic(record);
    int options = 0;
    if (flags & 0x8000) options |= kTrackNormalize;
    if (!schematic) options |= kTrackPixels;
    state.dragStyle = ApplyKindDefaultStyle(kind);
    TrackerStart(record, schematic ? pane : 0, TrackPurpose::NewObject, state.dragRect, 0, options, state.dragStyle);
    if (schematic) ResetDrawRange(record);
}

void FinishMouseDrag(WindowRecord* record, unsigned keyFlags, int x, int y)
{
    if (!record) return;
    SchematicEditorState& state = SchematicEditor();
    const int dragState = state.dragState;
    if (dragState & (kDragPlacing | kDragMoving)) {
        const win::POINT grid = Schematic(record) ? GridPoint(record, {x, y}) : win::POINT{x, y};
        MoveSelection(record, grid.x, grid.y, kMouseLeft, kMoveEnd, 0);
        if (dragState & kDragPlacing) {
            SchematicItem* item = state.newComponent;
            state.newComponent = nullptr;
            if (item && item->definition) SetDefinitionOrientation(*item->definition, item->orientation);
            if (item) {
                PlaceNewComponent(record, item, false);
                // Pins dropped on wires join them at the next rebuild.
                MarkNetlistStale(record);
            }
        } else {
            if (!state.drag.movingText) {
                MarkNetlistStale(record);
                MarkModified(record);
            } else {
                SetRedrawFlags(record);
            }
            Redraw(record);
        }
    } else if (BandDrag(dragState)) {
        win::RECT rect{};
        const int fixed = Tracker().fixed;
        const bool made = TrackerEnd(rect);
        if (dragState == kDragSelectBox) {
            if (made) {
                SetMarkRect(record, rect.left, rect.top, rect.right, rect.bottom);
                MarkItemsInRect(record, rect, (state.shiftWord ? kMarkToggle : kMarkSelect) | kMarkRedraw);
            } else {
                SetMarkRect(record, -1, -1, -1, -1);
            }
            Redraw(record);
            RefreshToolButtonStates();
        } else if (dragState == kDragObject && !Schematic(record)) {
            // A plot's tag or measure: the plot adds it; the window then returns to Select mode
            // unless it is in a tag or measure mode.
            const std::uint16_t style = state.dragStyle;
            if (made) AddPlotObjectFromDrag(record, style, rect);
            const int mode = record->mode;
            if (mode != kModeHorizontalTag && mode != kModeVerticalTag && mode != kModeTag) SetEditMode(record, kCommandSelectMode);
        } else if (dragState == kDragObject) {
            if (made) {
                MarkModified(record);
                Redraw(record);
            }
            // An object chosen from the graphics popup is drawn once, then Select mode again.
            if (GraphicsPopupBackToSelect()) {
                GraphicsPopupBackToSelect() = false;
                SetEditMode(record, kCommandSelectMode);
            }
        } else if (dragState == kDragReshape && state.drag.plotObject) {
            PlotObject& object = *state.drag.plotObject;
            if (state.drag.handle == kHandleSpecial) SetDimensionLineFromPixel(record, object, fixed);
            else SetObjectPointsFromPixels(record, object, rect);
            RedrawWindowParts(record, kRedrawObjectsOnly);
        } else if (dragState == kDragReshape) {
            if (made) {
                MarkModified(record);
                MarkNetlistStale(record);
                Redraw(record);
            }
        } else if (dragState == kDragScaleBox) {
            if (made) ZoomPlotToBox(record, rect);
        } else if (dragState & kDragSplitters) {
            // The drop takes the bar's cursor id: 1008 horizontal, 1009 vertical, 1010 both.
            const int code = dragState == kDragSplitterH ? kCursorHorizontalBar
                             : dragState == kDragSplitterV ? kCursorVerticalBar
                                                           : kCursorCrossing;
            if (PaneInput().dropSplitter) PaneInput().dropSplitter(record, code, rect.right, rect.bottom);
        } else if (dragState == kDragWire) {
            if (made) Redraw(record);
        }
    }
    state.dragState = 0;
    state.drag = EditorDrag{};
    (void)keyFlags;
    if (Settings().operationalOptions & kOptionSelectMode) SetEditMode(record, kCommandSelectMode);
}

int EditObjectAtPoint(WindowRecord* record, unsigned keyFlags, int x, int y)
{
    if (!record) return 0;
    const int mode = record->mode ? record->mode : kModeSelect;
    if (mode != kModeSelect && !(keyFlags & (win::MK_SHIFT | win::MK_CONTROL))) return 0;
    std::uint8_t* byte = nullptr;
    ListNode* node = PickObjectAtPoint(record, &byte, nullptr, x, y, kPickAttributes);
    if (!node) return 0;
    EditNodeInPlace(record, node);
    return 1;
}

void OnWindowLButtonDown(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam)
{
    if (Frame().busy) return;
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!record) return;
    SchematicEditorState& state = SchematicEditor();
    const win::POINT point = PointOf(lParam);
    win::SetCapture(hwnd);
    if (state.dragState == 0) {
        win::SetFocus(hwnd);
        DispatchClickByMode(record, keyFlags, point);
        state.pressPoint = point;
        state.lastPoint = point;
    }
    const int mode = record->mode;
    const bool holdsFocus = mode == kModeInfo || mode == kModePointToEnd || mode == kModePointToPoint ||
                            (AnalysisActive() && ProbeModeActive() && record == CurrentRecord());
    if (!holdsFocus && GetWindowRecord(hwnd) == record) win::SetFocus(hwnd);
}

void OnSchematicDragTimer(win::HWND hwnd)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    SchematicEditorState& state = SchematicEditor();
    if (!record || !record->document || !(state.dragState & (kDragPlacing | kDragMoving)) ||
        !OutsidePane(record, state.lastPoint)) {
        win::KillTimer(hwnd, kDragTimer);
        return;
    }
    // The pane scrolls a line; the selection follows the pointer to its new grid point.
    AutoScrollDuringDrag(record, state.lastPoint.x, state.lastPoint.y, CurrentPaneOf(record));
    const win::POINT grid = GridPoint(record, state.lastPoint);
    MoveSelection(record, grid.x, grid.y, kMouseLeft, kMoveStep, 0);
}

void OnWindowLButtonUp(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam)
{
    win::KillTimer(hwnd, kDragTimer);
    SchematicEditorState& state = SchematicEditor();
    state.pendingClick = 0;
    if (!(keyFlags & kMouseButtons)) win::ReleaseCapture();
    if (Frame().busy) return;
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!record) return;
    const win::POINT point = PointOf(lParam);
    FinishMouseDrag(record, keyFlags, point.x, point.y);
    RefreshToolButtonStates();
}

void OnWindowMouseMove(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!record) return;
    SchematicEditorState& state = SchematicEditor();
    const win::POINT point = PointOf(lParam);
    // Only a pointer that has left the press point makes the press a drag: a move reported at the
    // press point itself (the cross-hair's redraw puts the cursor back where it is) is still a
    // click, which must neither toggle a Shift-clicked element back nor move the selection.
    if (state.pendingClick && (point.x != state.pressPoint.x || point.y != state.pressPoint.y)) {
        state.pendingClick = 0;
        SelectClick(record, state.shiftWord, state.pressPoint.x, state.pressPoint.y, 1, keyFlags);
    }
    if (Schematic(record)) {
        if (!state.panFlag) SetModeCursor(record);
        if ((keyFlags & win::MK_RBUTTON) && state.dragState == 0) {
            // The drawing follows the mouse: the movement in scroll units comes off the origin.
            const int pane = PaneAtPoint(record, state.pressPoint.x, state.pressPoint.y);
            if (pane >= 0) {
                CircuitDocument& document = *record->document;
                const double scale = document.zoomFactor;
                const int sx = static_cast<int>((point.x - state.lastPoint.x) * scale);
                const int sy = static_cast<int>((point.y - state.lastPoint.y) * scale);
                const int page = PanePage(document, pane);
                if ((sx || sy) && page >= 0 && static_cast<std::size_t>(page) < document.pages.size()) {
                    PageRecord& pageRecord = document.pages[static_cast<std::size_t>(page)];
                    const int ox = pageRecord.originX[static_cast<std::size_t>(pane)];
                    const int oy = pageRecord.originY[static_cast<std::size_t>(pane)];
                    int dx = 0, dy = 0;
                    if (PaneInput().scrollPaneView) {
                        PaneInput().scrollPaneView(record, std::max(0, ox - sx), std::max(0, oy - sy), pane, dx, dy);
                    } else {
                        const int nx = std::max(0, ox - sx), ny = std::max(0, oy - sy);
                        pageRecord.originX[static_cast<std::size_t>(pane)] = nx;
                        pageRecord.originY[static_cast<std::size_t>(pane)] = ny;
                        dx = static_cast<int>((ox - nx) / (scale != 0 ? scale : 1));
                        dy = static_cast<int>((oy - ny) / (scale != 0 ? scale : 1));
                        Redraw(record);
                    }
                    state.lastPoint.x += dx;
                    state.lastPoint.y += dy;
                    document.currentPane = pane;
                }
            }
            return;
        }
        if (keyFlags & win::MK_LBUTTON) {
            if (state.dragState & (kDragPlacing | kDragMoving)) {
                const win::POINT grid = GridPoint(record, point);
                MoveSelection(record, grid.x, grid.y, kMouseLeft, kMoveStep, 0);
                // A pointer resting outside the pane scrolls it a line per tick of the drag
                // timer: the repaint after a scroll reports the resting pointer again, and that
                // must not scroll once more at once.
                if (point.x != state.lastPoint.x || point.y != state.lastPoint.y)
                    AutoScrollDuringDrag(record, point.x, point.y, CurrentPaneOf(record));
                // Outside the pane the drag timer keeps scrolling while the mouse rests.
                if (OutsidePane(record, point)) win::SetTimer(hwnd, kDragTimer, kDragTimerMs, nullptr);
                else win::KillTimer(hwnd, kDragTimer);
            } else if (state.dragState & kDragSplitters) {
                TrackerMove(point.x, point.y, false);
            } else if (BandDrag(state.dragState)) {
                const win::POINT grid = GridPoint(record, point);
                TrackerMove(grid.x, grid.y, (keyFlags & win::MK_SHIFT) != 0);
            }
        }
    } else if (PlotLike(record) || (record->flags & kRecordHoldsPlotObjects)) {
        if (keyFlags & win::MK_LBUTTON) {
            if (state.dragState & kDragMoving) MoveSelection(record, point.x, point.y, kMouseLeft, kMoveStep, 0);
            else if (BandDrag(state.dragState)) TrackerMove(point.x, point.y, (keyFlags & win::MK_SHIFT) != 0);
        }
        if (state.panFlag) DragPlot(record, state.lastPoint, point);
    }
    if (!(record->mode == kModeScale && !(keyFlags & win::MK_RBUTTON))) state.lastPoint = point;
}

void OnWindowRButtonDown(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!record) return;
    SchematicEditorState& state = SchematicEditor();
    const win::POINT point = PointOf(lParam);
    win::SetCapture(hwnd);
    if (!Schematic(record)) {
        if (record->mode == kModeCursor) {
            DispatchClickByMode(record, keyFlags, point);
        } else if (!(keyFlags & win::MK_LBUTTON) && PlotLike(record)) {
            state.panFlag = 1;
            SetPanCursor(true, record);
        }
        state.pressPoint = point;
        state.lastPoint = point;
        return;
    }
    state.pressPoint = point;
    state.lastPoint = point;
    const win::POINT grid = GridPoint(record, point);
    if (state.dragState & (kDragPlacing | kDragMoving)) {
        MoveSelection(record, grid.x, grid.y, kMouseRight, kMoveStep, 0);
        return;
    }
    if (state.dragState == kDragWire) {
        TrackerSwapLegs();
        return;
    }
    const int pane = PaneAtPoint(record, point.x, point.y);
    if ((keyFlags & win::MK_SHIFT) && pane >= 0) {
        const win::POINT at = PaneClientToGrid(record, point.x, point.y, pane);
        if (PaneInput().quickZoom) {
            PaneInput().quickZoom(record, pane, at.x, at.y);
        } else {
            record->document->zoomFactor = record->document->zoomFactor == 1.0 ? 4.0 : 1.0;
            Redraw(record);
        }
        return;
    }
    if ((keyFlags & win::MK_LBUTTON) && !AnalysisActive() && state.dragState == 0 &&
        CountSelectedItems(record, WindowSelectionMask(record)) > 0) {
        if (StartMove(record, grid)) MoveSelection(record, grid.x, grid.y, kMouseRight, kMoveStep, 0);
        return;
    }
    state.panFlag = 1;
    SetPanCursor(true, record);
}

void OnWindowRButtonUp(win::HWND hwnd, unsigned keyFlags, win::LPARAM)
{
    if (!(keyFlags & kMouseButtons)) win::ReleaseCapture();
    SchematicEditorState& state = SchematicEditor();
    WindowRecord* record = GetWindowRecord(hwnd);
    if (state.panFlag) {
        state.panFlag = 0;
        SetPanCursor(false, record);
    }
    RefreshToolButtonStates();
}

void OnCircuitDoubleClick(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!record) return;
    SchematicEditor().pendingClick = 0;
    const win::POINT point = PointOf(lParam);
    if (!EditObjectAtPoint(record, keyFlags, point.x, point.y)) RunCharacteristicsDialog(record, hwnd);
}

bool OnCircuitSpaceKey(win::HWND hwnd)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!Schematic(record)) return false;
    SchematicEditorState& state = SchematicEditor();
    const win::POINT grid = GridPoint(record, state.lastPoint);
    if (state.dragState & (kDragPlacing | kDragMoving)) {
        MoveSelection(record, grid.x, grid.y, kMouseRight, kMoveStep, 0);
        return true;
    }
    if (state.pendingClick && CountSelectedItems(record, WindowSelectionMask(record)) > 0) {
        state.pendingClick = 0;
        if (StartMove(record, grid)) MoveSelection(record, grid.x, grid.y, kMouseRight, kMoveStep, 0);
        return true;
    }
    return false;
}

}  // namespace kq5
