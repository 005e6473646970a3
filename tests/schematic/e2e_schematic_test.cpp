// The schematic editor end to end, driven as a user drives it: the started program, commands sent
// as its menus send them, the pointer and the keys injected on the headless screen. An RC circuit
// is drawn, edited, saved, read back, turned into a netlist and simulated.
#include <cmath>
#include <deque>
#include <fstream>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "ui/dialog_services.h"
#include "app/command_routing.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/program_settings.h"
#include "document/connectivity.h"
#include "results/curve_record.h"
#include "results/waveform_store.h"
#include "document/page_tabs.h"
#include "document/pane_seams.h"
#include "ui/prompt_dialog.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "platform/common_dialogs.h"
#include "platform/controls.h"
#include "platform/paint.h"
#include "platform/gdi_draw.h"
#include "platform/system.h"
#include "platform/headless.h"
#include "platform/headless_backend.h"
#include "platform/win_messages.h"
#include "document/component_definition.h"
#include "document/component_library.h"
#include "document/editor_services.h"
#include "document/selection.h"
#include "document/document_services.h"
#include "analog/run_windows.h"

namespace kq5::testing {
namespace {

constexpr int kCmdUndo = 17200;
constexpr int kCmdCopy = 17202;
constexpr int kCmdPaste = 17203;
constexpr int kCmdClear = 17204;
constexpr int kCmdSelectAll = 17205;
constexpr int kCmdNew = 17100;
constexpr int kCmdOpen = 17102;
constexpr int kCmdSaveAs = 17104;
constexpr int kCmdClose = 12507;
constexpr int kCmdToSpice = 17105;
constexpr int kCmdSelectMode = 17561;
constexpr int kCmdTextMode = 17563;
constexpr int kCmdWireMode = 17564;

// What a modal loop meets: the steps given for it in order; with none left, the loop is ended.
class DialogScript {
public:
    DialogScript()
    {
        win::headless::SetIdleHandler([this] {
            if (steps_.empty()) return false;
            auto step = std::move(steps_.front());
            steps_.pop_front();
            step();
            return true;
        });
    }
    ~DialogScript() { win::headless::SetIdleHandler(nullptr); }
    DialogScript& Then(std::function<void()> step)
    {
        steps_.push_back(std::move(step));
        return *this;
    }
    bool Done() const { return steps_.empty(); }

private:
    std::deque<std::function<void()>> steps_;
};

// The dialog in front while a modal loop waits, and a click on one of its controls.
win::HWND Dialog() { return win::GetActiveWindow(); }
void ClickScreenPoint(win::POINT p)
{
    win::headless::Click(p.x, p.y);
    // Time enough that the next click is a click of its own, not the second of a double click.
    static_cast<win::HeadlessBackend&>(win::CurrentBackend()).Advance(1000);
}
void ClickControl(int id, int x = -1, int y = -1)
{
    win::HWND control = win::GetDlgItem(Dialog(), id);
    ASSERT_NE(control, nullptr) << id;
    win::RECT r{};
    win::GetClientRect(control, &r);
    win::POINT p{x < 0 ? r.right / 2 : x, y < 0 ? r.bottom / 2 : y};
    win::ClientToScreen(control, &p);
    ClickScreenPoint(p);
}
// Clicks the row of the attribute list that starts with "NAME=".
void ClickAttributeRow(const std::string& name)
{
    win::HWND list = win::GetDlgItem(Dialog(), 110);
    ASSERT_NE(list, nullptr);
    const int count = static_cast<int>(win::SendMessage(list, win::LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::string text(static_cast<std::size_t>(win::SendMessage(list, win::LB_GETTEXTLEN, i, 0)) + 1, '\0');
        win::SendMessage(list, win::LB_GETTEXT, i, reinterpret_cast<win::LPARAM>(text.data()));
        if (text.rfind(name + "=", 0) != 0) continue;
        win::RECT r{};
        win::SendMessage(list, win::LB_GETITEMRECT, i, reinterpret_cast<win::LPARAM>(&r));
        win::POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        win::ClientToScreen(list, &p);
        ClickScreenPoint(p);
        return;
    }
    ADD_FAILURE() << "no attribute row " << name;
}

class SchematicEndToEnd : public StartedFrame {
protected:
    // Steps that fill the attribute dialog: each attribute's row picked, its value typed into the
    // Value box (emptied first by keys), then OK by Enter.
    static void FillAttributes(DialogScript& script, const std::vector<std::pair<std::string, std::string>>& values,
                               const std::string& screen = {})
    {
        for (const auto& [name, value] : values) {
            script.Then([name] { ClickAttributeRow(name); })
                .Then([] { ClickControl(101, 20); })
                .Then([] { win::headless::PressKey(win::VK_END); })
                .Then([] {
                    for (int i = 0; i < 40; ++i) win::headless::PressKey(win::VK_BACK);
                })
                .Then([value] { win::headless::TypeText(value); });
        }
        if (!screen.empty()) script.Then([screen] { SaveScreen(screen); });
        script.Then([] { win::headless::PressKey(win::VK_RETURN); });
    }
    // The screen point of a grid point in the window's current pane.
    win::POINT At(WindowRecord* record, int gx, int gy) const
    {
        win::POINT p = GridToPaneClient(record, gx, gy, record->document->currentPane);
        win::ClientToScreen(record->window, &p);
        return p;
    }
    void Command(int id)
    {
        win::SendMessage(FrameWindow(), win::WM_COMMAND, static_cast<win::WPARAM>(id), 0);
        PumpFrameMessages();
    }
    void ClickAt(WindowRecord* record, int gx, int gy)
    {
        const win::POINT p = At(record, gx, gy);
        win::headless::Click(p.x, p.y);
        PumpFrameMessages();
        // Far enough apart in time that the next click is not a double click.
        win::headless::AdvanceClock(1000);
    }
    void DragAt(WindowRecord* record, int gx1, int gy1, int gx2, int gy2)
    {
        const win::POINT a = At(record, gx1, gy1), b = At(record, gx2, gy2);
        win::headless::MoveMouse(a.x, a.y);
        win::headless::MouseDown();
        PumpFrameMessages();
        win::headless::MoveMouse((a.x + b.x) / 2, (a.y + b.y) / 2);
        PumpFrameMessages();
        win::headless::MoveMouse(b.x, b.y);
        PumpFrameMessages();
        win::headless::MouseUp();
        PumpFrameMessages();
        win::headless::AdvanceClock(1000);
    }
    // Chooses the named definition as the Component menu does and puts the window in Component mode.
    void ChooseComponent(const std::string& name)
    {
        int n = 0;
        for (const ComponentDefinition& definition : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) {
            if (definition.name == name) {
                Command(kFirstComponentMenuCommand + n);
                return;
            }
            ++n;
        }
        ADD_FAILURE() << "no definition " << name;
    }
    std::vector<SchematicItem*> Items(WindowRecord* record, int kind)
    {
        std::vector<SchematicItem*> out;
        for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList))
            if (item.itemKind == kind) out.push_back(&item);
        return out;
    }
    std::vector<std::vector<int>> Wires(WindowRecord* record)
    {
        std::vector<std::vector<int>> out;
        for (SchematicItem* wire : Items(record, kItemWire)) out.push_back({wire->x1, wire->y1, wire->x2, wire->y2});
        return out;
    }
    std::vector<GridText*> Texts(WindowRecord* record)
    {
        std::vector<GridText*> out;
        for (GridText& text : ListRecords<GridText>(record->document->gridTextList)) out.push_back(&text);
        return out;
    }
    // Steps that type a file name into the file dialog in front and press Enter.
    static void TypeFileName(DialogScript& script, const std::string& path, const std::string& screen)
    {
        script.Then([] { win::headless::PressKey(win::VK_END); })
            .Then([] {
                for (int i = 0; i < 80; ++i) win::headless::PressKey(win::VK_BACK);
            })
            .Then([path] { win::headless::TypeText(path); })
            .Then([screen] { SaveScreen(screen); })
            .Then([] { win::headless::PressKey(win::VK_RETURN); });
    }
    // Clicks the page tab of that name at the foot of the window.
    void ClickPageTab(WindowRecord* record, const std::string& name)
    {
        // Where the labels stand after the four arrow buttons, as the screenshots show them.
        win::HWND bar = win::GetDlgItem(record->window, kPaneTabBarId + record->document->currentPane);
        ASSERT_NE(bar, nullptr);
        win::RECT r{};
        win::GetWindowRect(bar, &r);
        const int x = name == "Text" ? 83 : 122;
        win::headless::Click(r.left + x, r.bottom - 5);
        PumpFrameMessages();
        win::headless::AdvanceClock(1000);
    }
    // The colour of a screen pixel as the layer drew it.
    static win::COLORREF ScreenPixel(win::POINT p)
    {
        win::HDC screen = win::GetDC(nullptr);
        const win::COLORREF color = win::GetPixel(screen, p.x, p.y);
        win::ReleaseDC(nullptr, screen);
        return color & 0xFFFFFF;
    }
    // What the editing left on the window's screen equals a full repaint of the window.
    void ExpectScreenAsRepainted(WindowRecord* record, const std::string& what)
    {
        PumpFrameMessages();
        win::RECT client{};
        win::GetClientRect(record->window, &client);
        const auto capture = [&] {
            std::vector<win::COLORREF> pixels;
            win::HDC dc = win::GetDC(record->window);
            for (int y = 0; y < client.bottom; y += 1)
                for (int x = 0; x < client.right; x += 1) pixels.push_back(win::GetPixel(dc, x, y));
            win::ReleaseDC(record->window, dc);
            return pixels;
        };
        const std::vector<win::COLORREF> edited = capture();
        win::InvalidateRect(record->window, nullptr, 1);
        win::UpdateWindow(record->window);
        PumpFrameMessages();
        const std::vector<win::COLORREF> repainted = capture();
        std::size_t differing = 0;
        for (std::size_t i = 0; i < edited.size(); ++i) {
            if (edited[i] == repainted[i]) continue;
            if (++differing <= 8)
                ADD_FAILURE() << "at " << i % client.right << "," << i / client.right << " " << std::hex << edited[i] << " vs " << repainted[i];
        }
        EXPECT_EQ(differing, 0u) << "pixels left wrong after " << what;
    }
    // Every item and text of a window, one line each, in list order.
    static std::vector<std::string> Describe(WindowRecord* record)
    {
        std::vector<std::string> out;
        for (const SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
            std::string line = std::to_string(item.itemKind) + " " + std::to_string(item.x1) + "," + std::to_string(item.y1) + " " +
                               std::to_string(item.x2) + "," + std::to_string(item.y2) + " o" + std::to_string(item.orientation) +
                               " p" + std::to_string(item.page) + " s" + std::to_string(item.style);
            if (item.definition) line += " " + item.definition->name;
            for (const ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes))
                line += " [" + std::to_string(attribute.keyId) + "=" + attribute.value + "]";
            out.push_back(line);
        }
        for (const GridText& text : ListRecords<GridText>(record->document->gridTextList))
            out.push_back("text " + text.text + " " + std::to_string(text.x) + "," + std::to_string(text.y) + " f" +
                          std::to_string(text.flags & kGridTextIsFlag));
        return out;
    }
    void Shot(const std::string& name)
    {
        win::CurrentBackend().Present(true);
        PumpFrameMessages();
        SaveScreen(name);
    }
    // Places the chosen part with a click; the placement dialog, if one comes, is accepted by keys.
    void Place(WindowRecord* record, const std::string& name, int gx, int gy,
               const std::vector<std::pair<std::string, std::string>>& values = {})
    {
        ChooseComponent(name);
        ASSERT_EQ(record->mode, 17562) << name;
        ASSERT_NE(ChosenComponentDefinition(), nullptr);
        EXPECT_EQ(ChosenComponentDefinition()->name, name);
        DialogScript script;
        if (!values.empty()) FillAttributes(script, values, "e2e_rc_circuit_place_" + values.front().first);
        const std::size_t before = Items(record, kItemComponent).size();
        ClickAt(record, gx, gy);
        EXPECT_TRUE(script.Done()) << name;
        EXPECT_EQ(Items(record, kItemComponent).size(), before + 1) << name;
    }
};

TEST_F(SchematicEndToEnd, DrawEditSaveReloadAndSimulateAnRcCircuit)
{
    WindowRecord* record = StartWithSchematic();
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->window, nullptr);
    win::ShowWindow(record->window, win::SW_MAXIMIZE);
    PumpFrameMessages();
    Settings().operationalOptions |= kOptionRubberbanding;
    // The editor's prompts come up as real dialogs that the keys fill in.
    SetPromptDialogsShownHeadless(true);

    // Parts: the source's pins at (10,10) and (10,16), the resistor's at (14,8) and (20,8), the
    // capacitor's at (24,8) and (28,8), the ground at (28,16).
    Place(record, "Pulse Source", 10, 10, {{"MODEL", "STEP"}});
    Place(record, "Resistor", 14, 8, {{"VALUE", "2K"}});
    Place(record, "Capacitor", 24, 8, {{"VALUE", "1U"}});
    Place(record, "Ground", 28, 16);
    ASSERT_EQ(Items(record, kItemComponent).size(), 4u);
    Shot("e2e_rc_circuit_parts");

    Command(kCmdWireMode);
    DragAt(record, 10, 10, 10, 8);
    DragAt(record, 10, 8, 14, 8);
    // Drawn in two pieces that meet where nothing else connects: rewiring makes them one wire.
    DragAt(record, 20, 8, 22, 8);
    DragAt(record, 22, 8, 24, 8);
    DragAt(record, 28, 8, 28, 16);
    DragAt(record, 10, 16, 28, 16);
    EXPECT_EQ(Wires(record), (std::vector<std::vector<int>>{
                                 {10, 8, 10, 10}, {10, 8, 14, 8}, {20, 8, 24, 8}, {28, 8, 28, 16}, {10, 16, 28, 16}}));
    Shot("e2e_rc_circuit_wired");

    // The capacitor's node gets a name: a text placed on its wire, typed into the Grid Text dialog.
    Command(kCmdTextMode);
    {
        DialogScript script;
        script.Then([] { win::headless::TypeText("OUT"); }).Then([] { SaveScreen("e2e_rc_circuit_label"); }).Then([] { ClickControl(win::IDOK); });
        ClickAt(record, 22, 8);
        EXPECT_TRUE(script.Done());
    }
    std::vector<GridText*> texts = Texts(record);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text, "OUT");
    EXPECT_EQ(texts[0]->x, 22);
    EXPECT_EQ(texts[0]->y, 8);

    // The resistor's value changed in its attribute dialog, opened by a double click.
    Command(kCmdSelectMode);
    // Placing the text redrew the pane with the window's own background colour.
    EXPECT_EQ(ScreenPixel(At(record, 100, 70)), win::GetSysColor(win::COLOR_WINDOW) & 0xFFFFFF);
    std::vector<SchematicItem*> parts = Items(record, kItemComponent);
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(GetAttributeText(parts[0], kAttrModel), "STEP");
    EXPECT_EQ(GetAttributeText(parts[1], kAttrValue), "2K");
    EXPECT_EQ(GetAttributeText(parts[2], kAttrValue), "1U");
    {
        DialogScript script;
        FillAttributes(script, {{"VALUE", "1K"}}, "e2e_rc_circuit_attributes");
        const win::POINT p = At(record, 17, 8);
        win::headless::DoubleClick(p.x, p.y);
        PumpFrameMessages();
        win::headless::AdvanceClock(1000);
        EXPECT_TRUE(script.Done());
    }
    EXPECT_EQ(GetAttributeText(parts[1], kAttrValue), "1K");
    ExpectScreenAsRepainted(record, "the value edit");
    Shot("e2e_rc_circuit_values");

    // The capacitor dragged up by its body: the wires on its pins follow. Undo puts it back,
    // a second Undo moves it again, a third puts it back.
    // Undo swaps in the saved copies: the part is looked up afresh each time.
    const auto capacitorAt = [&] {
        for (SchematicItem* part : Items(record, kItemComponent))
            if (part->definition && part->definition->name == "Capacitor") return std::make_pair(part->x1, part->y1);
        return std::make_pair(-1, -1);
    };
    DragAt(record, 26, 8, 26, 4);
    EXPECT_EQ(capacitorAt(), std::make_pair(24, 4));
    const auto wireEndsAt = [&](int x, int y) {
        int count = 0;
        for (SchematicItem* wire : Items(record, kItemWire))
            count += (wire->x1 == x && wire->y1 == y) + (wire->x2 == x && wire->y2 == y);
        return count;
    };
    EXPECT_EQ(wireEndsAt(24, 4), 1);
    EXPECT_EQ(wireEndsAt(28, 4), 1);
    EXPECT_EQ(wireEndsAt(24, 8), 0);
    Shot("e2e_rc_circuit_moved");
    ExpectScreenAsRepainted(record, "the move");
    Command(kCmdUndo);
    EXPECT_EQ(capacitorAt(), std::make_pair(24, 8));
    EXPECT_EQ(wireEndsAt(24, 8), 1);
    EXPECT_EQ(wireEndsAt(28, 8), 1);
    Command(kCmdUndo);
    EXPECT_EQ(capacitorAt(), std::make_pair(24, 4));
    Command(kCmdUndo);
    EXPECT_EQ(capacitorAt(), std::make_pair(24, 8));
    ExpectScreenAsRepainted(record, "undo");
    // The node name splits the wire it stands on.
    EXPECT_EQ(Wires(record), (std::vector<std::vector<int>>{{10, 8, 10, 10},
                                                            {10, 8, 14, 8},
                                                            {20, 8, 22, 8},
                                                            {28, 8, 28, 16},
                                                            {10, 16, 28, 16},
                                                            {22, 8, 24, 8}}));
    const std::vector<std::string> drawn = Describe(record);

    // Everything copied into a new window and pasted there, then deleted there.
    Command(kCmdSelectAll);
    Command(kCmdCopy);
    {
        // The New dialog remembers the kind chosen last: a click on the schematic's picture
        // chooses it whatever an earlier New chose.
        DialogScript script;
        script.Then([] {
                  win::HWND dialog = CurrentDialog();
                  win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(1201, win::STN_CLICKED),
                                   reinterpret_cast<win::LPARAM>(win::GetDlgItem(dialog, 1201)));
              })
            .Then([] { SaveScreen("e2e_rc_circuit_new_dialog"); })
            .Then([] { win::headless::PressKey(win::VK_RETURN); });
        Command(kCmdNew);
        EXPECT_TRUE(script.Done());
    }
    WindowRecord* second = GetActiveChildRecord();
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second, record);
    Command(kCmdSelectMode);
    ClickAt(second, 40, 30);
    Command(kCmdPaste);
    EXPECT_EQ(Items(second, kItemComponent).size(), 4u);
    EXPECT_EQ(Items(second, kItemWire).size(), 6u);
    EXPECT_EQ(Texts(second).size(), 1u);
    Shot("e2e_rc_circuit_pasted");
    ExpectScreenAsRepainted(second, "the paste");
    Command(kCmdSelectAll);
    Command(kCmdClear);
    EXPECT_EQ(second->document->itemList.count, 0);
    EXPECT_EQ(second->document->gridTextList.count, 0);
    ExpectScreenAsRepainted(second, "the delete");
    // The first window is untouched by all of it.
    EXPECT_EQ(Describe(record), drawn);

    // Back in the first window (as its Windows menu entry activates it), saved under a new name
    // typed into the file dialog.
    win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(record->window), 0);
    PumpFrameMessages();
    ASSERT_EQ(GetActiveChildRecord(), record);
    const std::string path = (dir_ / "rc_drawn.cir").string();
    win::SetCommonDialogsShownHeadless(true);
    {
        DialogScript script;
        TypeFileName(script, path, "e2e_rc_circuit_save_dialog");
        Command(kCmdSaveAs);
        EXPECT_TRUE(script.Done());
    }
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(record->modified, 0);

    // Closed and opened again through the Open dialog: the same items, item by item.
    Command(kCmdClose);
    for (const auto& other : WindowRecords().records) ASSERT_NE(other.get(), record);
    {
        DialogScript script;
        TypeFileName(script, path, "e2e_rc_circuit_open_dialog");
        Command(kCmdOpen);
        EXPECT_TRUE(script.Done());
    }
    WindowRecord* reloaded = GetActiveChildRecord();
    ASSERT_NE(reloaded, nullptr);
    ASSERT_EQ(reloaded->kind, kWindowSchematic);
    EXPECT_EQ(Describe(reloaded), drawn);
    Shot("e2e_rc_circuit_reloaded");

    // The pulse source's model typed into the circuit's text page.
    ClickPageTab(reloaded, "Text");
    ASSERT_NE(reloaded->document->textAreaWindow, nullptr);
    ASSERT_TRUE(win::IsWindowVisible(reloaded->document->textAreaWindow));
    {
        win::RECT r{};
        win::GetWindowRect(reloaded->document->textAreaWindow, &r);
        ClickScreenPoint({r.left + 40, r.top + 40});
        PumpFrameMessages();
        win::headless::PressKeyWithModifiers(win::VK_END, true, false);
        win::headless::TypeText(".MODEL STEP PUL (VZERO=0 VONE=1 P1=0 P2=1N P3=1 P4=1.001 P5=2)\r");
        PumpFrameMessages();
    }
    Shot("e2e_rc_circuit_text");
    ClickPageTab(reloaded, "Page 1");

    // The netlist joins the pins as they were drawn: source, resistor, capacitor, ground.
    std::vector<SchematicItem*> placed = Items(reloaded, kItemComponent);
    ASSERT_EQ(placed.size(), 4u);
    reloaded->document->connectivityStale = 1;
    ASSERT_EQ(RebuildNetlistIfNeeded(reloaded, true), 0);
    const auto node = [&](int part, int pin) { return PinNodeNumber(*reloaded->document, *placed[static_cast<std::size_t>(part)], pin); };
    EXPECT_EQ(node(0, 0), node(1, 0));  // source + to the resistor
    EXPECT_EQ(node(1, 1), node(2, 0));  // resistor to capacitor: node OUT
    EXPECT_EQ(node(2, 1), 0);           // capacitor to ground
    EXPECT_EQ(node(0, 1), 0);           // source - to ground
    EXPECT_NE(node(0, 0), node(1, 1));
    EXPECT_GT(node(1, 1), 0);
    EXPECT_GT(node(0, 0), 0);

    // A transient of 5 ms: v(OUT) follows 1 - exp(-t / RC) with RC = 1 ms.
    std::ofstream(dir_ / "NOM.LIB") << "* no models\n";
    InstallAnalysisKindHandlers();
    CircuitDocument& document = *reloaded->document;
    document.limits.transient[kLimitTRange] = "5m";
    document.limits.transient[kLimitTStep] = "5u";
    auto& rows = document.limitsRows[kAnalysisTransient];
    ASSERT_FALSE(rows.empty());
    rows.resize(1);
    rows[0].xExpression = "T";
    rows[0].yExpression = "v(OUT)";
    const int started = RunAnalysisCommand(reloaded, kAnalysisTransient);
    for (const auto& box : win::MessageBoxLog()) ADD_FAILURE() << box.text;
    ASSERT_EQ(started, 0);
    {
        DialogScript script;
        const int ran = RunAnalysisTimed(kAnalysisTransient);
        for (const auto& box : win::MessageBoxLog()) ADD_FAILURE() << box.text;
        ASSERT_EQ(ran, 0);
    }
    PumpFrameMessages();
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    ASSERT_NE(analysis->plot, nullptr);
    ASSERT_FALSE(analysis->plot->curves.empty());
    const CurveRecord& curve = *analysis->plot->curves[0];
    ASSERT_GT(curve.lastPointIndex, 20);
    double worst = 0.0;
    for (std::int32_t i = 0; i <= curve.lastPointIndex; ++i) {
        const double t = GetWaveformValue(analysis->plot->store, curve.storeSlots[kWaveformX], i);
        const double v = GetWaveformValue(analysis->plot->store, curve.storeSlots[kWaveformY], i);
        if (t < 5e-9) continue;
        worst = std::max(worst, std::abs(v - (1.0 - std::exp(-t / 1e-3))));
    }
    EXPECT_LT(worst, 1e-3);
    const double tEnd = GetWaveformValue(analysis->plot->store, curve.storeSlots[kWaveformX], curve.lastPointIndex);
    EXPECT_NEAR(tEnd, 5e-3, 1e-9);
    Shot("e2e_rc_circuit_transient");
    ExitAnalysis();
    PumpFrameMessages();

    // The SPICE netlist written by its command: its ToSpice dialog taken with Enter, the file
    // named in the file dialog. The parts stand between the nodes as drawn.
    ASSERT_EQ(GetActiveChildRecord(), reloaded);
    const std::string spice = (dir_ / "rc_drawn.ckt").string();
    {
        DialogScript script;
        script.Then([] { win::headless::PressKey(win::VK_RETURN); });
        TypeFileName(script, spice, "e2e_rc_circuit_spice_dialog");
        Command(kCmdToSpice);
        EXPECT_TRUE(script.Done());
    }
    std::ifstream in(spice);
    ASSERT_TRUE(in.good()) << spice;
    std::map<std::string, std::vector<std::string>> lines;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) fields.push_back(word);
        if (!fields.empty()) lines[fields[0]] = fields;
    }
    ASSERT_EQ(lines.count("R1"), 1u);
    ASSERT_EQ(lines.count("C1"), 1u);
    ASSERT_EQ(lines.count("V1"), 1u);
    ASSERT_GE(lines["R1"].size(), 4u);
    ASSERT_GE(lines["C1"].size(), 4u);
    ASSERT_GE(lines["V1"].size(), 3u);
    EXPECT_EQ(lines["R1"][1], lines["V1"][1]);
    EXPECT_EQ(lines["R1"][2], "OUT");
    EXPECT_EQ(lines["C1"][1], "OUT");
    EXPECT_EQ(lines["C1"][2], "0");
    EXPECT_EQ(lines["V1"][2], "0");
    EXPECT_EQ(lines["R1"][3], "1K");
    EXPECT_EQ(lines["C1"][3], "1U");
}

}  // namespace
}  // namespace kq5::testing
