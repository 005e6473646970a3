#include "schematic/schematic_view.h"

#include "analog/analysis_state.h"
#include "app/frame_state.h"
#include "app/text_area.h"
#include "app/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "platform/mdi.h"
#include "platform/message.h"
#include "platform/window.h"
#include "schematic/pane_scroll_bars.h"
#include "schematic/pane_seams.h"

namespace kq5 {

namespace {

struct ViewState {
    SchematicDrawState draw;
    SchematicRenderer renderer = nullptr;
};

ViewState& State()
{
    static ViewState state;
    return state;
}

int KindOfClass(const std::string& className)
{
    if (className == kTextCircuitClassName) return kWindowTextCircuit;
    if (className == kModelLibraryClassName) return kWindowModelLibrary;
    return kWindowSchematic;
}

bool IsMdiChild(win::HWND hwnd)
{
    win::HWND parent = win::GetParent(hwnd);
    return parent != nullptr && EqualsNoCase(win::GetClassName(parent), "mdiclient");
}

win::LRESULT CircuitWindowProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    switch (msg) {
    case win::WM_CREATE: {
        const auto* create = reinterpret_cast<const win::CREATESTRUCT*>(lParam);
        const void* params = create ? create->lpCreateParams : nullptr;
        if (params && IsMdiChild(hwnd)) {
            params = reinterpret_cast<const void*>(static_cast<const win::MDICREATESTRUCT*>(params)->lParam);
        }
        const int* kind = static_cast<const int*>(params);
        return CreateDocumentRecord(hwnd, kind ? *kind : KindOfClass(win::GetClassName(hwnd))) ? 0 : -1;
    }
    case win::WM_CLOSE:
        // A refusal (the save question cancelled) tells the frame to stop quitting.
        if (QueryCloseDocument(GetWindowRecord(hwnd)) != 0) {
            Frame().closeRefused = true;
        } else if (IsMdiChild(hwnd)) {
            win::SendMessage(win::GetParent(hwnd), win::WM_MDIDESTROY, reinterpret_cast<win::WPARAM>(hwnd), 0);
        } else {
            win::DestroyWindow(hwnd);
        }
        return 0;
    case win::WM_DESTROY: {
        WindowRecord* record = GetWindowRecord(hwnd);
        FreeDocumentRecord(record);
        return 0;
    }
    default:
        return IsMdiChild(hwnd) ? win::DefMDIChildProc(hwnd, msg, wParam, lParam)
                                : win::DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

bool IsPaneShown(const WindowRecord* record, int pane)
{
    win::RECT rect{};
    GetPaneRect(record, pane, rect);
    return rect.right > rect.left && rect.bottom > rect.top;
}

}  // namespace

SchematicDrawState& SchematicDrawing() { return State().draw; }

void ResetSchematicDrawingForTests() { State() = ViewState{}; }

void SetDrawPassFlags(int code) { State().draw.passFlags = code; }

void SetSchematicRenderer(SchematicRenderer renderer) { State().renderer = renderer; }

void DrawDocumentShapes(const DrawContext& context)
{
    if (State().renderer != nullptr) State().renderer(context);
}

bool RegisterCircuitWindowClasses()
{
    bool ok = RegisterTextAreaClass();
    for (const char* name : {kSchematicClassName, kTextCircuitClassName, kModelLibraryClassName}) {
        win::WNDCLASS existing;
        if (win::GetClassInfo(nullptr, name, &existing)) continue;
        win::WNDCLASS wc;
        wc.lpfnWndProc = CircuitWindowProc;
        wc.lpszClassName = name;
        ok = win::RegisterClass(&wc) != 0 && ok;
    }
    return ok;
}

win::HWND CreateMdiChild(const char* className, const std::string& title, int kind)
{
    if (!RegisterCircuitWindowClasses()) return nullptr;
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

int QueryCloseDocument(WindowRecord* record)
{
    if (record == nullptr) return 0;
    if (Analysis().analysisKind != kAnalysisNone && CurrentRecord() == record) return 1;
    if (record->modified && AskSaveChanges(record) == kSaveAnswerCancel) return 1;
    return 0;
}

int FindVisiblePane(const WindowRecord* record)
{
    if (record == nullptr || !record->document) return -1;
    const int current = record->document->currentPane;
    if (current >= 0 && current < kPaneCount && IsPaneShown(record, current)) return current;
    for (int pane = 0; pane < kPaneCount; ++pane)
        if (IsPaneShown(record, pane)) return pane;
    return -1;
}

void ShowPageAtPoint(WindowRecord* record, int page, int x, int y)
{
    if (record == nullptr || !record->document) return;
    CircuitDocument& document = *record->document;
    const bool textShown = (document.textAreaPane & kTextAreaHidden) == 0;
    const int textPane = textShown ? (document.textAreaPane & 0x0F) : -1;
    int pane = -1;
    for (int p = 0; p < kPaneCount && pane < 0; ++p) {
        if (p != textPane && document.panePage[static_cast<std::size_t>(p)] == page && IsPaneShown(record, p)) pane = p;
    }
    if (pane < 0 && textPane >= 0 && textPane < kPaneCount) {
        pane = textPane;
        document.textAreaPane |= kTextAreaHidden;
    }
    if (pane < 0) pane = FindVisiblePane(record);
    if (pane < 0) pane = document.currentPane;
    if (pane < 0 || pane >= kPaneCount) return;
    document.panePage[static_cast<std::size_t>(pane)] = page;
    document.currentPane = pane;
    if (page >= 0 && static_cast<std::size_t>(page) < document.pages.size()) {
        // Centre the point: a pixel is (origin + drawing units * zoom) / 8.
        win::RECT rect{};
        GetPaneRect(record, pane, rect);
        PageRecord& target = document.pages[static_cast<std::size_t>(page)];
        const double zoom = document.zoomFactor;
        const int centreX = (rect.right - rect.left) / 2;
        const int centreY = (rect.bottom - rect.top) / 2;
        target.originX[static_cast<std::size_t>(pane)] =
            static_cast<std::int32_t>(8 * centreX - x * kDrawUnitsPerGrid * zoom);
        target.originY[static_cast<std::size_t>(pane)] =
            static_cast<std::int32_t>(8 * centreY - y * kDrawUnitsPerGrid * zoom);
    }
    UpdatePaneScrollBars(record);
}

}  // namespace kq5
