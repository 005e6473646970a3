#include "document/document_windows.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/analysis_state.h"
#include "ui/edit_mode.h"
#include "document/record_font.h"
#include "document/preferences.h"
#include "ui/program_settings.h"
#include "document/text_area.h"
#include "document/text_editor.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/connectivity.h"
#include "document/document_services.h"
#include "document/file_names.h"
#include "document/selection.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "document/default_limits_rows.h"
#include "results/plot_view_settings.h"
#include "document/page_array.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"
#include "ui/color_table.h"
#include "document/document_window_create.h"
#include "document/schematic_drawing.h"
#include "ui/frame_state.h"
#include "platform/mdi.h"
#include "platform/message.h"

namespace kq5 {

namespace {

constexpr int kMsgSaveChanges = 13556;  // "Save changes in '%s'?"
// Edit bits of the text area: multi-line, scrolls down as text is typed, keeps its selection.
constexpr win::DWORD kTextAreaEditStyle = 0x0144;
// The tab area of each pane is this many scroll-bar widths wide.
constexpr int kTabAreaScrollBars = 20;

// Plot objects are hidden for one repaint by this analysis kind word.
constexpr std::int16_t kHiddenObjectKind = -5;

bool IsCircuitKind(int kind)
{
    return kind == kWindowSchematic || kind == kWindowTextCircuit || kind == kWindowPlainSchematic;
}

bool IsPlotWindowKind(int kind)
{
    return kind == kWindowAnalysis || kind == kWindowMonteCarlo || kind == kWindow3D || kind == kWindowPerformance;
}

// Halves away from zero, as the pixel grid expects of both signs.
int RoundHalfAway(double value) { return static_cast<int>(std::lround(value)); }

win::POINT PaneOrigin(const CircuitDocument& document, int pane)
{
    if (pane < 0 || pane >= kPaneCount) return {};
    const int page = PanePage(document, pane);
    if (page < 0 || static_cast<std::size_t>(page) >= document.pages.size()) return {};
    const PageRecord& record = document.pages[static_cast<std::size_t>(page)];
    return {record.originX[static_cast<std::size_t>(pane)], record.originY[static_cast<std::size_t>(pane)]};
}

void SetDrawMode(int mode) { SchematicDrawing().drawMode = mode; }

// Draws the panes of a schematic window that show schematic items.
void DrawSchematicPanes(WindowRecord* record, win::HDC dc, std::uint32_t flags)
{
    CircuitDocument& document = *record->document;
    for (int pane = 0; pane < kPaneCount; ++pane) {
        if (pane == document.textAreaPane) continue;
        win::RECT rect{};
        GetPaneRect(record, pane, rect);
        if (rect.right <= rect.left || rect.bottom <= rect.top) continue;
        if (flags & kRedrawErase) {
            // The same colour the pane's WM_PAINT erases with: the index may name a system colour row,
            // which the palette alone does not know.
            win::HBRUSH brush = win::CreateSolidBrush(ColorIndexRgb(document.backgroundColor));
            win::FillRect(dc, &rect, brush);
            win::DeleteObject(brush);
        }
        SchematicDrawing().highlight = (flags & kRedrawHighlight) != 0;
        if (flags & kRedrawSchematic) DrawDocumentShapes(DrawContext{dc, record, pane, rect});
        SchematicDrawing().highlight = false;
    }
}

void RedrawCircuitWindow(WindowRecord* record, std::uint32_t flags)
{
    CircuitDocument& document = *record->document;
    const bool schematic = IsSchematicKind(record->kind);
    win::HDC dc = (flags & 0x0428) ? win::GetDC(record->window) : nullptr;
    if (flags & kRedrawFull) {
        const SchematicDrawState& draw = SchematicDrawing();
        if ((document.viewOptions & (kViewBorder | kViewTitle)) && draw.drawMode == kDrawModeNormal &&
            draw.secondDrawState == 0 && (flags & kRedrawResetRange) && document.extentChanged) {
            document.extentChanged = 0;
            flags = (flags & ~(kRedrawPassA | kRedrawPassB)) | kRedrawErase;
        }
        if (schematic && Analysis().analysisKind == kAnalysisNone && document.connectivityStale) {
            RebuildNetlistIfNeeded(record, true);
            flags |= kRedrawResetRange;
        }
    }
    if (flags & kRedrawResetRange) ResetDrawRange(record);
    if (flags & kRedrawEmptyRange) document.drawRange = DrawRange{};
    if (flags & (kRedrawPassA | kRedrawPassB)) SetDrawPassFlags(static_cast<int>(flags & (kRedrawPassA | kRedrawPassB)));
    if (schematic && (flags & (kRedrawSchematic | kRedrawErase)) && dc) DrawSchematicPanes(record, dc, flags);
    if (flags & kRedrawResetRangeAfter) ResetDrawRange(record);
    if (flags & (kRedrawPassA | kRedrawPassB)) SetDrawPassFlags(0);
    if (dc) win::ReleaseDC(record->window, dc);
}

void RedrawPlotWindow(WindowRecord* record, std::uint32_t flags)
{
    if (flags & (kRedrawPassA | kRedrawPassB)) SetDrawPassFlags(static_cast<int>(flags & (kRedrawPassA | kRedrawPassB)));
    if (flags & kRedrawErase) {
        BeginWaitCursor(record->window);
        win::InvalidateRect(record->window, nullptr, 1);
        EndWaitCursor();
    } else {
        // The plot draws itself when it paints: the whole window, or only its objects.
        win::InvalidateRect(record->window, nullptr, 0);
        win::UpdateWindow(record->window);
    }
    if (flags & (kRedrawPassA | kRedrawPassB)) SetDrawPassFlags(0);
}

// The component an attribute node stands for: the picked attribute's.
SchematicItem* AttributeComponent(ListNode* node)
{
    DocumentState& state = Documents();
    return node == state.pickedAttribute ? state.pickedItem : nullptr;
}

template <class T>
bool ListHolds(const LinkedList& list, const T* node)
{
    for (const ListNode* n = list.head; n; n = n->next)
        if (n == node) return true;
    return false;
}

int FileKindOfName(const std::string& name)
{
    const std::string extension = GetFileExtension(name);
    for (const char* text : {".CKT", ".LIB", ".STM"})
        if (EqualsNoCase(extension, text)) return kFileKindTextCircuit;
    return kFileKindSchematic;
}

}  // namespace

bool IsSchematicKind(int kind) { return kind == kWindowSchematic || kind == kWindowPlainSchematic; }

std::string MakeUntitledName(int kind)
{
    const char* format = nullptr;
    switch (kind) {
    case kWindowSchematic: format = "circuit%i.cir"; break;
    case kWindowTextCircuit: format = "circuit%i.ckt"; break;
    case kWindowModelLibrary: format = "lib%i.lbr"; break;
    default: return std::string();
    }
    int& counter = DocumentServices().untitledCounters[static_cast<std::size_t>(kind - 1)];
    std::string name = StrPrintf(format, ++counter);
    GetUpperFullPath(name, kLocateWorkingTmp);
    return name;
}

DocumentWindowClassSeam& DocumentWindowClasses()
{
    static DocumentWindowClassSeam seam;
    return seam;
}

namespace {

bool DocumentWindowClassReady(const char* className)
{
    if (DocumentWindowClasses().registerClasses) return DocumentWindowClasses().registerClasses();
    win::WNDCLASS existing;
    return win::GetClassInfo(nullptr, className, &existing) != 0;
}

}  // namespace

win::HWND CreateMdiChild(const char* className, const std::string& title, int kind)
{
    if (!DocumentWindowClassReady(className)) return nullptr;
    int createKind = kind;
    if (win::HWND client = Frame().mdiClient) {
        win::MDICREATESTRUCT create;
        create.szClass = className;
        create.szTitle = title.c_str();
        create.x = create.y = create.cx = create.cy = win::CW_USEDEFAULT;
        create.style = win::WS_CLIPCHILDREN;
        create.lParam = reinterpret_cast<win::LPARAM>(&createKind);
        return reinterpret_cast<win::HWND>(win::SendMessage(client, win::WM_MDICREATE, 0, reinterpret_cast<win::LPARAM>(&create)));
    }
    // Without a frame (batch runs, tests) the document windows stand on their own, hidden until
    // the caller shows them.
    return win::CreateWindowEx(0, className, title.c_str(), win::WS_OVERLAPPEDWINDOW | win::WS_CLIPCHILDREN,
                               win::CW_USEDEFAULT, win::CW_USEDEFAULT, win::CW_USEDEFAULT, win::CW_USEDEFAULT,
                               nullptr, nullptr, nullptr, &createKind);
}

win::HWND CreateHiddenCircuitWindow(const std::string& title)
{
    if (!DocumentWindowClassReady(kSchematicClassName)) return nullptr;
    int createKind = kWindowPlainSchematic;
    if (win::HWND frame = Frame().frame) {
        return win::CreateWindowEx(0, kSchematicClassName, title.c_str(), win::WS_CHILD | win::WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                   frame, win::ChildIdMenu(kHiddenCircuitWindowId), nullptr, &createKind);
    }
    return win::CreateWindowEx(0, kSchematicClassName, title.c_str(), win::WS_OVERLAPPEDWINDOW | win::WS_CLIPCHILDREN, 0, 0,
                               0, 0, nullptr, nullptr, nullptr, &createKind);
}

WindowRecord* NewDocumentWindow(int kind, std::string_view name)
{
    const char* className = nullptr;
    switch (kind) {
    case kWindowSchematic:
    case kWindowPlainSchematic: className = kSchematicClassName; break;
    case kWindowTextCircuit: className = kTextCircuitClassName; break;
    case kWindowModelLibrary: className = kModelLibraryClassName; break;
    default: return nullptr;
    }
    std::string title = name.empty() ? MakeUntitledName(kind) : std::string(name);
    win::HWND window = kind == kWindowPlainSchematic ? CreateHiddenCircuitWindow(title) : CreateMdiChild(className, title, kind);
    if (window == nullptr) return nullptr;
    WindowRecord* record = GetWindowRecord(window);
    if (record == nullptr) {
        win::DestroyWindow(window);
        return nullptr;
    }
    SetRecordTitle(record, title);
    record->untitled = true;
    return record;
}

WindowRecord* CreateDocumentRecord(win::HWND window, int kind)
{
    if (kind == kWindowModelLibrary) {
        // The library window keeps its library list in its own record; the document parts here
        // do not apply to it.
        WindowRecord* record = NewWindowRecord(window, kind);
        if (record) record->flags |= kRecordDocument;
        return record;
    }
    WindowRecord* record = NewWindowRecord(window, kind, true);
    if (record == nullptr) return nullptr;
    record->flags |= kRecordDocument;
    if (IsCircuitKind(kind)) record->flags |= kRecordCircuitWindow;
    CircuitDocument& document = *record->document;
    try {
        record->plot = std::make_shared<PlotRecord>();
    } catch (const std::bad_alloc&) {
        ReportMessage("E", kMsgInsufficientMemory);
        FreeWindowRecord(record);
        return nullptr;
    }
    if (window != nullptr) {
        RegisterTextAreaClass();
        win::DWORD style = win::WS_CHILD | kTextAreaEditStyle;
        if (kind == kWindowTextCircuit) style |= win::WS_VISIBLE | win::WS_HSCROLL | win::WS_VSCROLL;
        win::HWND area = win::CreateWindowEx(0, kTextAreaClassName, "", style, 0, 0, 0, 0, window,
                                             win::ChildIdMenu(kTextAreaControlId), nullptr, nullptr);
        if (area == nullptr) {
            FreeWindowRecord(record);
            return nullptr;
        }
        document.textAreaWindow = area;
    }
    if (IsCircuitKind(kind)) {
        for (int analysisKind = 0; analysisKind < kAnalysisKindCount; ++analysisKind) {
            if (CreateDefaultLimitsRows(record, analysisKind) != 0) {
                ReportMessage("E", kMsgInsufficientMemory);
                FreeDocumentRecord(record);
                return nullptr;
            }
            std::vector<LimitsRow>& rows = document.limitsRows[static_cast<std::size_t>(analysisKind)];
            const std::size_t grouped = analysisKind == kAnalysisDc ? 1 : 2;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (i < grouped) rows[i].plotGroup = '1';
                rows[i].options = kLimitsLinearY;
                if (analysisKind != kAnalysisAc) rows[i].options |= kLimitsLinearX;
            }
            document.monteCarloWord[static_cast<std::size_t>(analysisKind)] = 1;
        }
        ClearAnalysisLimitsTexts(document);
    }
    document.textAreaPane = kDefaultTextAreaPane;
    document.viewOptions = kDefaultViewOptions;
    document.attributeFont = Settings().defaultAttributeFont;
    if (window != nullptr) {
        if (kind == kWindowSchematic) SetEditMode(record, kCommandComponentMode);
        document.zoomFactor = 1.0;
        document.printerScale = 1.0;
        if (IsSchematicKind(kind) && ResizePageArray(record, 1) == 0) document.pages[0].name = "Page 1";
        CopyDefaultCircuitAttributes(document);
        // The text area is a fixed-pitch editor: it draws in the document's text font from the start.
        if (document.textAreaWindow) SetRecordTextFont(record, document.numOutFont);
        record->markRect = win::RECT{-1, -1, -1, -1};
    }
    record->modified = 0;
    document.connectivityStale = 1;
    PlotViewOf(record->plot);
    if (IsSchematicKind(kind)) {
        document.paneTabWidth.fill(kTabAreaScrollBars * win::GetSystemMetrics(win::SM_CXVSCROLL));
        if (window != nullptr) UpdatePaneScrollBars(record);
    }
    return record;
}

void FreeDocumentRecord(WindowRecord*& record)
{
    if (record == nullptr) return;
    win::HWND area = nullptr;
    if (CircuitDocument* document = record->document.get()) {
        area = document->textAreaWindow;
        if (DocumentServices().clipboardCutFrom == document) DocumentServices().clipboardCutFrom = nullptr;
        if (record->flags & kRecordSharesLists) {
            // The lists belong to the window whose circuit this one shows; forget them unfreed.
            for (LinkedList* list : {&document->itemList, &document->gridTextList}) {
                list->head = list->tail = nullptr;
                list->count = 0;
            }
        }
    }
    FreeWindowRecord(record);
    if (area != nullptr && win::IsWindow(area)) win::DestroyWindow(area);
}

void FreeHiddenCircuit(WindowRecord*& record)
{
    if (record == nullptr || !IsLiveWindowRecord(record)) {
        record = nullptr;
        return;
    }
    const win::HWND window = record->window;
    if (window != nullptr && win::IsWindow(window)) {
        if (!win::IsWindowVisible(window)) {
            // Its destruction frees the record.
            win::DestroyWindow(window);
            if (IsLiveWindowRecord(record)) FreeDocumentRecord(record);
        }
        record = nullptr;
        return;
    }
    FreeDocumentRecord(record);
}

int AskSaveChanges(WindowRecord* record)
{
    if (Settings().batchRun || record == nullptr) return kSaveAnswerNo;
    if (record->window) win::BringWindowToTop(record->window);
    const std::string name = StripDirectory(GetRecordTitle(record));
    const int button = ReportMessage("WES", record, kMsgSaveChanges, win::MB_YESNOCANCEL | win::MB_ICONQUESTION,
                                     name.c_str());
    if (button == win::IDNO) return kSaveAnswerNo;
    if (button != win::IDYES) return kSaveAnswerCancel;
    // Closing is allowed only when the changes are on disk: any failure keeps the window open.
    if (record->untitled) return SaveWindowAs(record, 0) == 1 ? kSaveAnswerSavedAs : kSaveAnswerCancel;
    return WriteCircuitFile(record, std::string(), 0) == 0 ? kSaveAnswerYes : kSaveAnswerCancel;
}

void ScreenToWorld(const WindowRecord* record, win::POINT& out, int x, int y, int pane)
{
    if (record == nullptr || !record->document) return;
    const CircuitDocument& document = *record->document;
    const win::POINT origin = PaneOrigin(document, pane);
    const double zoom = document.zoomFactor;
    out.x = RoundHalfAway((origin.x + x * zoom) / kDrawUnitsPerGrid);
    out.y = RoundHalfAway((origin.y + y * zoom) / kDrawUnitsPerGrid);
}

void WorldToScreen(const WindowRecord* record, win::POINT& out, int x, int y, int pane)
{
    if (record == nullptr || !record->document) return;
    const CircuitDocument& document = *record->document;
    const win::POINT origin = PaneOrigin(document, pane);
    const double zoom = document.zoomFactor != 0.0 ? document.zoomFactor : 1.0;
    out.x = static_cast<int>((kDrawUnitsPerGrid * static_cast<double>(x) - origin.x) / zoom);
    out.y = static_cast<int>((kDrawUnitsPerGrid * static_cast<double>(y) - origin.y) / zoom);
}

void ClientToPanePoint(const WindowRecord* record, win::POINT& out, int x, int y, int pane)
{
    win::RECT rect{};
    GetPaneRect(record, pane, rect);
    out.x = x - rect.left;
    out.y = y - rect.top;
}

void RedrawWindowParts(WindowRecord* record, std::uint32_t flags)
{
    if (record == nullptr || record->window == nullptr) return;
    if (IsCircuitKind(record->kind) && record->document) {
        RedrawCircuitWindow(record, flags);
    } else if (IsPlotWindowKind(record->kind)) {
        RedrawPlotWindow(record, flags);
    }
}

void RedrawWindowPartsDefault(WindowRecord* record)
{
    SetDrawMode(kDrawModeNormal);
    RedrawWindowParts(record, kRedrawDefault);
}

void SetDrawRange(WindowRecord* record, SchematicItem* firstItem, SchematicItem* lastItem, GridText* firstText,
                  GridText* lastText)
{
    if (record == nullptr || !record->document || !IsSchematicKind(record->kind)) return;
    record->document->drawRange = DrawRange{firstItem, lastItem, firstText, lastText};
}

void ResetDrawRange(WindowRecord* record)
{
    if (record == nullptr || !record->document) return;
    CircuitDocument& document = *record->document;
    document.drawRange = DrawRange{ListHead<SchematicItem>(document.itemList),
                                   static_cast<SchematicItem*>(document.itemList.tail),
                                   ListHead<GridText>(document.gridTextList),
                                   static_cast<GridText*>(document.gridTextList.tail)};
}

void RedrawListNode(WindowRecord* record, ListNode* node)
{
    if (record == nullptr || node == nullptr) return;
    SetDrawMode(kDrawModeNormal);
    SchematicItem* item = nullptr;
    switch (node->kind) {
    case kKindSchematicItem: item = static_cast<SchematicItem*>(node); break;
    case kKindAttribute: item = AttributeComponent(node); break;
    case kKindGridText: {
        auto* text = static_cast<GridText*>(node);
        SetDrawRange(record, nullptr, nullptr, text, text);
        RedrawWindowParts(record, 0x1408);
        return;
    }
    case kKindPlotObject: RedrawWindowParts(record, 0x1208); return;
    default: return;
    }
    if (item == nullptr) return;
    SetDrawRange(record, item, item, nullptr, nullptr);
    RedrawWindowParts(record, 0x1408);
}

void RedrawNodeAlone(WindowRecord* record, ListNode* node, bool blank)
{
    if (record == nullptr || node == nullptr) return;
    SchematicItem* item = nullptr;
    GridText* text = nullptr;
    PlotObject* object = nullptr;
    switch (node->kind) {
    case kKindSchematicItem: item = static_cast<SchematicItem*>(node); break;
    case kKindAttribute: item = AttributeComponent(node); break;
    case kKindGridText: text = static_cast<GridText*>(node); break;
    case kKindPlotObject: object = static_cast<PlotObject*>(node); break;
    default: return;
    }
    if (!item && !text && !object) return;
    SetDrawMode(kDrawModeChosenNodes);
    if (object) {
        RedrawWindowParts(record, 0x0208);
    } else {
        SetDrawRange(record, item, item, text, text);
        RedrawWindowParts(record, 0x1008);
    }
    SetDrawMode(kDrawModeNormal);
    if (!blank) return;
    // Schematic panes are drawn straight onto the window, so the element's pixels go only when
    // the panes are cleared first: drawn over, a cancelled new part stayed on the screen.
    const std::uint32_t blankFlags = kRedrawSchematic | kRedrawErase;
    if (item) {
        const std::uint16_t kept = item->itemKind;
        item->itemKind = 0xFFFF;
        RedrawWindowParts(record, blankFlags);
        item->itemKind = kept;
    } else if (text) {
        std::string kept = std::move(text->text);
        text->text.clear();
        RedrawWindowParts(record, blankFlags);
        text->text = std::move(kept);
    } else {
        const std::int16_t kept = object->analysisKind;
        object->analysisKind = kHiddenObjectKind;
        RedrawWindowParts(record, kRedrawSchematic);
        object->analysisKind = kept;
    }
}

void RedrawTwice(WindowRecord* record, std::uint32_t flags)
{
    SetDrawMode(kDrawModeChosenNodes);
    RedrawWindowParts(record, flags);
    SetDrawMode(kDrawModeNormal);
    RedrawWindowParts(record, flags);
}

void GoToElementLocation(ElementLocation& location)
{
    BeginWaitCursor(nullptr);
    WindowRecord* record = location.record;
    if (record == nullptr && !location.fileName.empty()) {
        LoadCircuitFile(nullptr, location.fileName, FileKindOfName(location.fileName), kLoadDefaults, record);
    } else if (record != nullptr && IsLiveWindowRecord(record) && record->window) {
        win::BringWindowToTop(record->window);
    }
    if (record != nullptr && IsLiveWindowRecord(record) && record->document) {
        CircuitDocument& document = *record->document;
        SchematicItem* item = nullptr;
        GridText* text = nullptr;
        if (location.kind == kLocationItem && ListHolds(document.itemList, location.element))
            item = static_cast<SchematicItem*>(location.element);
        if (location.kind == kLocationGridText && ListHolds(document.gridTextList, location.element))
            text = static_cast<GridText*>(location.element);
        if (item || text) {
            ShowPageAtPoint(record, item ? item->page : text->page, item ? item->x1 : text->x,
                            item ? item->y1 : text->y);
            SetAllItemsSelected(record, kSchematicMask, 0);
            std::uint8_t& selection = item ? item->selection : text->selection;
            selection ^= kSelected;
            if (record->window) {
                win::InvalidateRect(record->window, nullptr, 1);
                win::UpdateWindow(record->window);
            }
        } else if (location.kind == kLocationTextLine) {
            if (IsSchematicKind(record->kind)) {
                const int shown = document.textAreaPane & 0x0F;
                const bool hidden = (document.textAreaPane & kTextAreaHidden) != 0;
                // The drawing gives way to the text in the pane the user works in, as Ctrl+G
                // would: the pane's controls, its tab bar and the editor all follow.
                if (hidden || !IsPaneVisible(record, shown)) {
                    const int pane = FindVisiblePane(record);
                    if (record->window && pane >= 0) {
                        ShowPageInPane(record, pane, -1);
                    } else {
                        document.textAreaPane = pane >= 0 ? pane : 0;
                    }
                }
            }
            if (document.textAreaWindow) win::SetFocus(document.textAreaWindow);
            if (location.textLine >= 0) {
                SelectEditorStatementAtLine(record, location.textLine);
            } else if (document.textAreaWindow) {
                SetEditorSelection(document.textAreaWindow, static_cast<std::int32_t>(location.rangeStart),
                                   static_cast<std::int32_t>(location.rangeEnd));
            } else {
                record->textAreaCaret = std::min(static_cast<std::size_t>(std::max(0L, location.rangeStart)), record->textArea.size());
            }
        }
    }
    EndWaitCursor();
    location = ElementLocation{};
}

void CheckPageExtent(WindowRecord* record, int page)
{
    if (record == nullptr || !record->document) return;
    CircuitDocument& document = *record->document;
    if (page < 0 || static_cast<std::size_t>(page) >= document.pages.size()) return;
    win::RECT grid{};
    win::RECT draw{};
    GetContentBounds(nullptr, record, grid, &draw, kBoundsDocument, page);
    win::RECT& extent = document.pages[static_cast<std::size_t>(page)].extent;
    if (draw.left != extent.left || draw.top != extent.top || draw.right != extent.right ||
        draw.bottom != extent.bottom) {
        extent = draw;
        document.extentChanged = 1;
    }
}

}  // namespace kq5
