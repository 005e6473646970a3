// The "Path" dialog: builds the circuit for path analysis, lists the paths with their delays
// in a fixed-pitch list, highlights the chosen one in the schematic and prints the list.
#include "digital/digital_path_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <vector>

#include "analog/analog_state.h"
#include "analog/convergence.h"
#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/edit_mode.h"
#include "ui/frame_state.h"
#include "ui/preference_values.h"
#include "document/print_job.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "digital/digital_engine.h"
#include "digital/digital_paths.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/document_services.h"
#include "document/schematic_item.h"
#include "netlist/circuit_build.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/font.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/paint.h"
#include "platform/print.h"
#include "platform/text.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

// Paths beyond this many are not listed: the search stops with the cap message.
constexpr std::size_t kMaxPaths = 20000;
constexpr int kMsgPathsCapped = 13261;
constexpr int kFrameMenusGrayed = 8;

struct PathWindowState {
    win::HWND window = nullptr;
    WindowRecord* circuit = nullptr;
    int previousMode = 0;
    DigitalPathSet set;
    std::vector<int> entryPath;  // per list entry: the path it shows (-1: header or none)
    win::HFONT font = nullptr;
    bool placed = false;
    win::RECT place{};
    int from = 0, to = 0;  // the devices of the last request
};

PathWindowState& Paths()
{
    static PathWindowState state;
    return state;
}

std::string PartName(int device)
{
    const DigitalDeviceTables& d = DigitalSimulator();
    if (device <= 0 || device > d.deviceCount) return {};
    const SchematicItem* part = d.component[static_cast<std::size_t>(device)];
    return part ? GetAttributeText(part, kAttrPart) : std::string();
}

// The first device made from the part (0 when the build made none).
int DeviceOfPart(const SchematicItem* part)
{
    const DigitalDeviceTables& d = DigitalSimulator();
    if (!part) return 0;
    for (int dev = 1; dev <= d.deviceCount; ++dev)
        if (d.component[static_cast<std::size_t>(dev)] == part) return dev;
    return 0;
}

void GrayFrameMenus(bool gray)
{
    win::HWND frame = AppFrameWindow();
    win::HMENU menu = frame ? win::GetMenu(frame) : nullptr;
    if (!menu) return;
    for (int i = 0; i < kFrameMenusGrayed; ++i)
        win::EnableMenuItem(menu, static_cast<win::UINT>(i), win::MF_BYPOSITION | (gray ? win::MF_GRAYED : win::MF_ENABLED));
    win::DrawMenuBar(frame);
}

// Characters of the list font that fit across the list box.
std::size_t ListWidthInCharacters(win::HWND list, win::HFONT font)
{
    win::RECT r{};
    win::GetClientRect(list, &r);
    win::HDC dc = win::GetDC(list);
    win::HGDIOBJ old = win::SelectObject(dc, font);
    win::SIZE size{};
    win::GetTextExtentPoint32(dc, "0000000000", 10, &size);
    win::SelectObject(dc, old);
    win::ReleaseDC(list, dc);
    const int perChar = std::max(1, static_cast<int>(size.cx) / 10);
    return static_cast<std::size_t>(std::max(20, static_cast<int>(r.right - r.left) / perChar - 1));
}

// The list's lines, and which path each line shows.
void FillList()
{
    PathWindowState& w = Paths();
    win::HWND list = win::GetDlgItem(w.window, kPathList);
    if (!list) return;
    win::SendMessage(list, win::LB_RESETCONTENT, 0, 0);
    w.entryPath.clear();
    // Continuation lines leave the number column blank: a line that starts with a number
    // begins the next path.
    const std::vector<std::string> lines = PathListing(w.set, ListWidthInCharacters(list, w.font), PartName, PreferenceSettings().pathDelayFormat);
    std::vector<int> shown;
    for (std::size_t i = 0; i < w.set.paths.size(); ++i)
        if (!w.set.paths[i].empty() && w.set.paths[i][0] >= 0) shown.push_back(static_cast<int>(i));
    int path = -1;
    std::size_t next = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (i > 0 && !line.empty() && line[0] != ' ') path = next < shown.size() ? shown[next++] : -1;
        win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(line.c_str()));
        w.entryPath.push_back(i == 0 ? -1 : path);
    }
}

// The point of a pin on the grid, after the part's orientation.
win::POINT PinPoint(const SchematicItem& item, int pin)
{
    const DefinitionPin& p = item.definition->pins[static_cast<std::size_t>(pin)];
    int dx = p.dx, dy = p.dy;
    for (int i = 0; i < (item.orientation & 3); ++i) {
        const int t = dx;
        dx = -dy;
        dy = t;
    }
    if (item.orientation & 4) dy = -dy;
    return {item.x1 + dx, item.y1 + dy};
}

bool OnWire(const SchematicItem& wire, win::POINT p)
{
    const int minX = std::min(wire.x1, wire.x2), maxX = std::max(wire.x1, wire.x2);
    const int minY = std::min(wire.y1, wire.y2), maxY = std::max(wire.y1, wire.y2);
    if (p.x < minX || p.x > maxX || p.y < minY || p.y > maxY) return false;
    // Cross product zero: on the line through the two ends.
    return static_cast<long long>(wire.x2 - wire.x1) * (p.y - wire.y1) ==
           static_cast<long long>(wire.y2 - wire.y1) * (p.x - wire.x1);
}

bool Touch(const SchematicItem& a, const SchematicItem& b)
{
    return OnWire(a, {b.x1, b.y1}) || OnWire(a, {b.x2, b.y2}) || OnWire(b, {a.x1, a.y1}) || OnWire(b, {a.x2, a.y2});
}

// The wires of the node on the way from one point to another (breadth first over wires that
// touch), each given the colour and the highlight.
void MarkWiresBetween(CircuitDocument& document, std::int32_t node, win::POINT from, win::POINT to, int color)
{
    std::vector<SchematicItem*> wires;
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList))
        if (item.itemKind == kItemWire && item.wireLabel == node && item.page >= 0) wires.push_back(&item);
    std::vector<int> parent(wires.size(), -2);  // -2 unseen, -1 a start
    std::deque<int> queue;
    for (std::size_t i = 0; i < wires.size(); ++i)
        if (OnWire(*wires[i], from)) {
            parent[i] = -1;
            queue.push_back(static_cast<int>(i));
        }
    int end = -1;
    while (!queue.empty() && end < 0) {
        const int i = queue.front();
        queue.pop_front();
        if (OnWire(*wires[static_cast<std::size_t>(i)], to)) {
            end = i;
            break;
        }
        for (std::size_t j = 0; j < wires.size(); ++j)
            if (parent[j] == -2 && Touch(*wires[static_cast<std::size_t>(i)], *wires[j])) {
                parent[j] = i;
                queue.push_back(static_cast<int>(j));
            }
    }
    for (int i = end; i >= 0; i = parent[static_cast<std::size_t>(i)]) {
        wires[static_cast<std::size_t>(i)]->selection |= kSelectPending;
        wires[static_cast<std::size_t>(i)]->color = static_cast<std::uint8_t>(color);
    }
}

void ClearHighlight(CircuitDocument& document)
{
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) item.selection &= ~kSelectPending;
}

void HighlightPath(int index)
{
    PathWindowState& w = Paths();
    if (!w.circuit || !w.circuit->document || index < 0 || static_cast<std::size_t>(index) >= w.set.paths.size()) return;
    CircuitDocument& document = *w.circuit->document;
    ClearHighlight(document);
    PreparePathDelays();
    const DigitalDeviceTables& d = DigitalSimulator();
    const std::vector<int>& path = w.set.paths[static_cast<std::size_t>(index)];
    const int color = document.digitalPathColor;
    auto part = [&](int dev) -> SchematicItem* {
        if (dev <= 0 || dev > d.deviceCount) return nullptr;
        SchematicItem* item = d.component[static_cast<std::size_t>(dev)];
        return item && item->page >= 0 && item->definition ? item : nullptr;
    };
    for (int dev : path)
        if (SchematicItem* item = part(dev)) {
            item->selection |= kSelectPending;
            item->color = static_cast<std::uint8_t>(color);
        }
    // The wires from each part's output to the next part's input on the same node.
    for (std::size_t k = 0; k + 1 < path.size(); ++k) {
        SchematicItem* a = part(path[k]);
        SchematicItem* b = part(path[k + 1]);
        if (!a || !b) continue;
        const int outputsFrom = std::clamp<int>(a->definition->inputPinCount, 0, a->PinCount());
        const int inputs = std::clamp<int>(b->definition->inputPinCount, 0, b->PinCount());
        const int pins = std::min<int>(static_cast<int>(a->definition->pins.size()), a->PinCount());
        const int pinsB = std::min<int>(static_cast<int>(b->definition->pins.size()), inputs);
        for (int o = outputsFrom; o < pins; ++o)
            for (int i = 0; i < pinsB; ++i) {
                const std::int32_t node = a->pinNodes[static_cast<std::size_t>(o)];
                if (node <= 0 || node != b->pinNodes[static_cast<std::size_t>(i)]) continue;
                MarkWiresBetween(document, node, PinPoint(*a, o), PinPoint(*b, i), color);
            }
    }
    if (w.circuit->window)
        win::RedrawWindow(w.circuit->window, nullptr, nullptr,
                          win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN | win::RDW_UPDATENOW);
}

void PrintList()
{
    PathWindowState& w = Paths();
    win::HWND list = win::GetDlgItem(w.window, kPathList);
    const int count = static_cast<int>(win::SendMessage(list, win::LB_GETCOUNT, 0, 0));
    if (count <= 0) return;
    win::HDC dc = StartPrintJob(w.circuit);
    if (!dc) return;
    // The list's own font, grown from the screen's resolution to the printer's.
    win::LOGFONT lf{};
    win::GetObject(w.font, sizeof(lf), &lf);
    win::HDC screen = win::GetDC(nullptr);
    const int screenDpi = std::max(1, win::GetDeviceCaps(screen, win::LOGPIXELSY));
    win::ReleaseDC(nullptr, screen);
    lf.lfHeight = win::MulDiv(lf.lfHeight != 0 ? lf.lfHeight : -12, win::GetDeviceCaps(dc, win::LOGPIXELSY), screenDpi);
    win::HFONT font = win::CreateFontIndirect(&lf);
    const std::string document = GetRecordTitle(w.circuit);
    win::TEXTMETRIC tm{};
    const int pageHeight = win::GetDeviceCaps(dc, win::VERTRES);
    int page = 0;
    // A page the printer refuses (the disk full) ends the job: no further page is drawn.
    for (int i = 0; i < count && PrintJobRunning();) {
        PrintJobPage(dc, [&] {
            win::SelectObject(dc, font);
            win::GetTextMetrics(dc, &tm);
            const int lineHeight = std::max<int>(1, tm.tmHeight);
            const std::string heading = StrPrintf("Page %-2d  %s", ++page, document.c_str());
            win::TextOut(dc, 0, 0, heading.c_str(), static_cast<int>(heading.size()));
            int y = lineHeight;
            do {
                std::string line(static_cast<std::size_t>(std::max<win::LRESULT>(0, win::SendMessage(list, win::LB_GETTEXTLEN, static_cast<win::WPARAM>(i), 0))), '\0');
                win::SendMessage(list, win::LB_GETTEXT, static_cast<win::WPARAM>(i), reinterpret_cast<win::LPARAM>(line.data()));
                line.resize(std::strlen(line.c_str()));
                win::TextOut(dc, 0, y, line.c_str(), static_cast<int>(line.size()));
                y += lineHeight;
                ++i;
            } while (i < count && y + tm.tmHeight <= pageHeight && PrintJobRunning());
        });
    }
    EndPrintJob();
    win::DeleteObject(font);
}

win::INT_PTR CALLBACK_PathDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    PathWindowState& w = Paths();
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        if (w.placed)
            win::SetWindowPos(dialog, nullptr, w.place.left, w.place.top, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
        w.window = dialog;
        w.font = win::CreateFont(-12, 0, 0, 0, win::FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, win::FIXED_PITCH, "Courier New");
        win::SendDlgItemMessage(dialog, kPathList, win::WM_SETFONT, reinterpret_cast<win::WPARAM>(w.font), 1);
        GrayFrameMenus(true);
        RefreshToolButtonStates();
        return win::TRUE;
    }
    case win::WM_ACTIVATE:
        // The message loop hands the active modeless dialog its keys.
        if (win::LOWORD(wParam) != 0) Frame().modelessDialog = dialog;
        return win::FALSE;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case kPathList:
            if (win::HIWORD(wParam) == win::LBN_SELCHANGE)
                HighlightPathEntry(static_cast<int>(win::SendDlgItemMessage(dialog, kPathList, win::LB_GETCURSEL, 0, 0)));
            return win::TRUE;
        case kPathColor: {
            if (!w.circuit || !w.circuit->document) return win::TRUE;
            int color = w.circuit->document->digitalPathColor;
            if (PickColorIndexWord(dialog, color)) w.circuit->document->digitalPathColor = color;
            HighlightPathEntry(static_cast<int>(win::SendDlgItemMessage(dialog, kPathList, win::LB_GETCURSEL, 0, 0)));
            return win::TRUE;
        }
        case kPathPrint: PrintList(); return win::TRUE;
        case kDialogHelpButton: ShowDialogHelp(kPathTemplate); return win::TRUE;
        case kPathClose:
        case win::IDCANCEL: ClosePathWindow(); return win::TRUE;
        default: return win::FALSE;
        }
    case win::WM_CLOSE: ClosePathWindow(); return win::TRUE;
    default: return win::FALSE;
    }
}

}  // namespace

int ShowPathWindow(WindowRecord* record, int previousMode, SchematicItem* from, SchematicItem* to)
{
    PathWindowState& w = Paths();
    if (!record || !record->document) return 0;
    if (w.window && w.circuit != record) ClosePathWindow();
    if (!w.window) {
        // The circuit is built once for the dialog's life, for paths only.
        SetCurrentDocument(record);
        InstallDigitalSimulator();
        BeginWaitCursor(record->window);
        CircuitBuild().pathWindow = true;
        const int rc = BuildCircuit(kBuildForPathWindow);
        CircuitBuild().pathWindow = false;
        EndWaitCursor();
        if (rc) {
            FreeAnalogRunData();
            SetEditMode(record, previousMode);
            return rc;
        }
        w.circuit = record;
        w.previousMode = previousMode;
        w.window = win::CreateDialogParam(win::GetModuleHandle(nullptr), kPathTemplate, AppFrameWindow(), CALLBACK_PathDlgProc, 0);
        if (!w.window) {
            FreeAnalogRunData();
            w.circuit = nullptr;
            return 15002;
        }
    } else {
        win::SetWindowPos(w.window, win::HWND_TOP, 0, 0, 0, 0, win::SWP_NOMOVE | win::SWP_NOSIZE);
    }
    w.from = DeviceOfPart(from);
    w.to = to ? DeviceOfPart(to) : 0;
    w.set = DigitalPathSet();
    // A part the build made no device of has no paths; all paths only without a part.
    int rc = 0;
    if (!from || w.from > 0) rc = FindDigitalPaths(w.set, w.from, w.to, kMaxPaths, [] { return win::GetAsyncKeyState(win::VK_ESCAPE) < 0; });
    PreparePathDelays();
    FillList();
    if (rc == 15002) ReportMessage("WE", record, 15002);
    else if (w.set.capped) ReportMessage("WE", record, kMsgPathsCapped, static_cast<int>(kMaxPaths));
    win::ShowWindow(w.window, win::SW_SHOW);
    return rc == 15056 ? 0 : rc;
}

void ShowPathWindowForParts(WindowRecord* record, SchematicItem* first, SchematicItem* second)
{
    ShowPathWindow(record, record ? record->mode : 0, first, second);
}


win::HWND PathWindow() { return Paths().window; }

void HighlightPathEntry(int entry)
{
    PathWindowState& w = Paths();
    if (entry < 0 || static_cast<std::size_t>(entry) >= w.entryPath.size()) return;
    HighlightPath(w.entryPath[static_cast<std::size_t>(entry)]);
}

void ClosePathWindow()
{
    PathWindowState& w = Paths();
    if (!w.window) return;
    win::GetWindowRect(w.window, &w.place);
    w.placed = true;
    if (Frame().modelessDialog == w.window) Frame().modelessDialog = nullptr;
    win::HWND window = w.window;
    w.window = nullptr;
    win::DestroyWindow(window);
    if (w.font) win::DeleteObject(w.font);
    w.font = nullptr;
    if (w.circuit) {
        if (w.circuit->document) ClearHighlight(*w.circuit->document);
        SetEditMode(w.circuit, w.previousMode);
        if (w.circuit->window) win::InvalidateRect(w.circuit->window, nullptr, 1);
    }
    FreeAnalogRunData();
    // The tables name parts of the build just freed.
    DigitalSimulator() = DigitalDeviceTables();
    w.set = DigitalPathSet();
    w.entryPath.clear();
    w.circuit = nullptr;
    RefreshToolButtonStates();
    GrayFrameMenus(false);
}

void ClosePathWindowOf(const WindowRecord* record)
{
    if (record && Paths().window && Paths().circuit == record) ClosePathWindow();
}

void ResetPathWindowForTests()
{
    PathWindowState& w = Paths();
    if (w.window) win::DestroyWindow(w.window);
    if (w.font) win::DeleteObject(w.font);
    w = PathWindowState{};
}

}  // namespace kq5
